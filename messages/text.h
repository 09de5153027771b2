// Bounded text helpers: every text that goes into a fixed buffer passes through these.
#pragma once
#include <stddef.h>

// Copies src into dest (capacity bytes including the terminating NUL). Always terminates
// when capacity > 0. Returns false when src had to be cut.
bool CopyText(char *dest, size_t capacity, const char *src);

// Appends src to the text already in dest. Always terminates. Returns false when cut.
bool AppendText(char *dest, size_t capacity, const char *src);

// Length of a text that may fill its buffer without a terminator.
size_t BoundedLength(const char *text, size_t capacity);

// Compares two texts without regard to the case of letters (ASCII and the Windows-1252
// letters from 0xC0 on, as the German system code page folds them).
bool SameTextNoCase(const char *a, const char *b);

// The file name of a path: the text after its last colon, slash or backslash.
const char *FileNamePart(const char *path);

// True when text begins with prefix, compared without regard to case.
bool StartsWithNoCase(const char *text, const char *prefix);
