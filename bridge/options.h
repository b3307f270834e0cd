#pragma once
// A struct of named options, as MATLAB users pass them (opts.width = 8), and the values in it:
// whole numbers and short texts, each refused by its reader's caller with a message that shows
// what was passed.

#include <cstddef>
#include <cstdint>

#include "bridge/gateway.h"

namespace gck {

// Whether the array is one struct (1 x 1).
bool IsOneStruct(const mxArray* array);

// The fields of one struct, by position; a field never set reads as nullptr.
int FieldCount(const mxArray* options);
const char* FieldName(const mxArray* options, int field);
const mxArray* FieldValue(const mxArray* options, int field);

// The text of a char row vector (or of an empty char array) in `text`; false for anything else,
// or for a text of `size` characters or more.
bool TextOf(const mxArray* value, char* text, size_t size);

// A real, full, numeric (not logical or char) array of one element holding a whole number in
// low..high: that number; false for anything else.
bool WholeNumberOf(const mxArray* value, int64_t low, int64_t high, int64_t* number);

// A value as a message shows it: a short char row as it is, a number as MATLAB's num2str shows it,
// anything else by its sizes and class ("a 1x2 double"; nullptr is "a 0x0 double").
void DescribeValue(const mxArray* value, char* text, size_t size);

}  // namespace gck
