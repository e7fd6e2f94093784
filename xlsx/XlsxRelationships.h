#pragma once
// The package's relationships: which part a relationship names, resolved against its source part.
#include <map>
#include <string>
#include <utility>

#include "xlsx/XlsxPackage.h"

namespace gridvane::xlsx {

/// The folder of a part, with its trailing slash ("" at the package root).
std::string PartDir(const std::string& part);
/// The relationships part of a part ("xl/_rels/workbook.xml.rels" for "xl/workbook.xml").
std::string RelsOf(const std::string& part);
/// A relationship target resolved against the folder of its source part, "/" meaning the package root.
std::string ResolveTarget(const std::string& sourceDir, const std::string& target);
/// The internal relationships of a part: id -> (target part, type).
std::map<std::string, std::pair<std::string, std::string>> ReadRels(const XlsxPackage& package, const std::string& part);
/// True when s ends with tail (a relationship type's last segment, "/worksheet").
bool EndsWith(const std::string& s, const std::string& tail);

} // namespace gridvane::xlsx
