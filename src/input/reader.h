// The project file reader and the pieces it calls: plan mask, section maps,
// materials and the starting temperatures.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/model_state.h"
#include "model/run.h"

namespace ph {

// Reads the whole project file, in its fixed order, into the model state.
void reader(Run& run, ModelState& s);

// Whether a line of a project file opens its [Physics] block; the file as
// the keyword reader reads it ends before that line.
bool isPhysicsHeader(std::string_view line);
// Reads the [Physics] block into s.physics: `block` holds the file's lines
// from its header on, the header being line `first` (from 1) of the file.
// The boundary blocks are read already (a film needs a held material).
void readPhysics(Run& run, const std::vector<std::string>& block, std::size_t first, ModelState& s);

// Reads series.pr (open on the project file number) into the monitor cells.
void readSeriesPoints(Run& run, SeriesPoints& points);

// Builds the plan mask from the section format and draws it in the log.
void getflag(Run& run, std::string_view format, int nx, int ny, std::vector<int>& secmask);

// Reads the map of section `isec` and copies it into every layer naming it.
void readsec(Run& run, int nx, int ny, int nz, int isec, const std::vector<int>& laysec,
             IntField& imat, int& maxmat);

// Reads the materials block: conductivity, heat capacity and production factor.
void readmats(Run& run, int nx, int ny, int nz, int& nmat, const IntField& imat,
              MatTable& A, MatTable& prod, MatTable& sig);

// Starting temperatures from the boundaries and the placement temperature.
void placet(int nx, int ny, int nz, const IntField& imat, RealField& hnew, const MatTable& prod,
            float tplace, const int (&bcp)[bndcap + 1][4]);

}  // namespace ph
