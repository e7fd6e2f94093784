#include "xlsx/XlsxRelationships.h"

#include <vector>

#include "xlsx/XlsxXml.h"

namespace gridvane::xlsx {

std::string PartDir(const std::string& part)
{
    const auto slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

std::string RelsOf(const std::string& part)
{
    const auto slash = part.rfind('/');
    if (slash == std::string::npos) return "_rels/" + part + ".rels";
    return part.substr(0, slash + 1) + "_rels/" + part.substr(slash + 1) + ".rels";
}

std::string ResolveTarget(const std::string& sourceDir, const std::string& target)
{
    std::string joined = !target.empty() && target[0] == '/' ? target.substr(1) : sourceDir + target;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= joined.size()) {
        const auto end = joined.find('/', start);
        const std::string piece = joined.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (piece == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!piece.empty() && piece != ".") {
            parts.push_back(piece);
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::string out;
    for (const auto& p : parts) {
        if (!out.empty()) out += '/';
        out += p;
    }
    return out;
}
std::map<std::string, std::pair<std::string, std::string>> ReadRels(const XlsxPackage& package, const std::string& part)
{
    std::map<std::string, std::pair<std::string, std::string>> rels; // id -> (target, type)
    const std::string relsName = RelsOf(part);
    if (!package.Has(relsName)) return rels;
    XmlPart xml(package, relsName);
    const pugi::xml_document& doc = xml.doc;
    for (pugi::xml_node r : doc.child("Relationships").children("Relationship")) {
        if (std::string(r.attribute("TargetMode").as_string()) == "External") continue;
        rels[r.attribute("Id").as_string()] = {ResolveTarget(PartDir(part), r.attribute("Target").as_string()),
                                                r.attribute("Type").as_string()};
    }
    return rels;
}

bool EndsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace gridvane::xlsx
