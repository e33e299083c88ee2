// Identifiers of the program's resources, shared by the resource script and the code.
// Plain defines only: windres reads this file too.
#pragma once

// The banner's format, "%s v%d.%d %s".
#define IDS_PROGRAM_BANNER 100
