// SPDX-License-Identifier: GPL-3.0-or-later
// What every page of the site depends on besides its own input: the page
// templates and the program that fills them.
#pragma once

#include "report/page_input.h"

namespace varnokel {

// The fingerprint of the program's version, every page template, and the
// whole site written for a fixed set of sample players: names with markup,
// Windows-1252 and UTF-8 bytes, an id that needs encoding in links, equal
// values, a negative count, a long playing time. A change to the templates
// or to how any page writer turns such values into bytes changes it, so the
// next report run rewrites every page instead of keeping pages in the old
// form. Computed once per process.
const Fingerprint& SiteFormatFingerprint();

}  // namespace varnokel
