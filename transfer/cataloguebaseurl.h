#pragma once

#include <QString>

// The root of the catalogue service, an absolute http:// or https:// URL without a trailing
// slash; a real catalogue is served over https, so that nobody on the way can replace an
// archive. The program links the build-time constant; the tests link a definition that points
// at their own servers.
QString catalogueBaseUrl();
