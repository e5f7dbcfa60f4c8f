#pragma once

#include <QString>

// The root of the catalogue service, an absolute http URL without a trailing slash. The program
// links the build-time constant; the tests link a definition that points at their own servers.
QString catalogueBaseUrl();
