// Weather files: the rows a held material follows, read once at set-up.
#pragma once

#include <functional>
#include <string>

#include "model/run.h"
#include "model/weather.h"

namespace ph {

// Refuses the input with a message (status 1); does not return.
using Refusal = std::function<void(const std::string&)>;

// Reads the weather file `name`, relative to the folder of the project file
// `project`. A name that is absolute, goes up through "..", or reaches a
// file outside that folder through a link is refused; so is a file whose
// header or rows cannot be read. A file that cannot be read at all is a
// file-layer failure naming `where` (the block's line).
Weather readWeather(Run& run, const std::string& project, const std::string& name, const std::string& where,
                    const Refusal& refuse);

}  // namespace ph
