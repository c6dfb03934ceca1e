// A dialog template held as data (platform/mfc/gui/DialogTemplate.h) in the
// in-memory form that DialogBoxIndirectParam reads: the extended template
// with its texts in UTF-16 following in line, each item on a four-byte
// boundary.
#pragma once

#include <vector>

#include "platform/mfc/gui/DialogTemplate.h"

std::vector<WORD> InMemoryTemplate(const DLGTEMPLATEEX& dialogTemplate);
