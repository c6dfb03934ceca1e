// The name of a file's format, from its first bytes, for the report of a
// file that could not be decoded: the formats this program reads, and common
// picture formats it does not.
#pragma once

// The format's name ("PNG", "WebP"), or null when the bytes are not
// recognised. `ours` tells whether this program has a decoder for it.
const char* RecogniseFormat(const char* path, bool& ours);
