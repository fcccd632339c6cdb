// Number edit descriptors of the record layouts, on single-precision values.
// Rounding is to nearest on the exact decimal value of the float, ties to
// even. A value that does not fit its field is written as w asterisks.
#pragma once

#include <string>

namespace ph {

// Iw: right-justified integer.
void appendI(std::string& out, long long v, int w);
// Fw.d: fixed point; the zero before the point of a value below 1 is dropped
// only when the field is exactly one character too short for it; a negative
// value that rounds to zero is written without its minus sign.
void appendF(std::string& out, float v, int w, int d);
// Ew.d: 0.ddddE+xx right-justified; the leading zero goes when one short.
void appendE(std::string& out, float v, int w, int d);
// Gw.d: F(w-4).(d-k) plus four blanks for 0.1 <= |v| < 10**d (k digits before
// the point), F(w-4).(d-1) plus four blanks for zero, otherwise Ew.d.
void appendG(std::string& out, float v, int w, int d);

// Free-form items, each with its own leading blank(s):
// integer: blank, minus sign when negative, digits;
// real: blank, minus sign or blank, nine significant digits with trailing
// zeros dropped, fixed for decimal exponents -4..8, else mantissa E+xx.
std::string freeInt(long long v);
std::string freeReal(float v);

}  // namespace ph
