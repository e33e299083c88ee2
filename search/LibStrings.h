// Identifiers of the library's string table (SearchStrings.rc) and the texts it holds, used
// when the table cannot be read (a host build, or a program without the resources).
#pragma once

namespace pur {

constexpr unsigned kIdsPosteDeTravail = 65346;
constexpr unsigned kIdsRecursif = 65347;

constexpr char kDefaultPosteDeTravail[] = "Poste de travail";
constexpr char kDefaultRecursif[] = "Recursif";

}  // namespace pur
