#pragma once
// The entities of drawing files as read by a real DXF reader (ezdxf), and of a DrawingPreview, in one text
// form per entity, so that a test compares the two entity for entity.
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/Utf.h"
#include "dxf/MakeR12Dxf_V.h"
#include "layout/DrawingPreview.h"

namespace gridvane::testing {

// A real as the file holds it (15 significant digits), read back, with 17 digits: the same text as
// Python's "%.17g" of the value ezdxf read.
inline std::string FileReal(double v)
{
    const std::string text = ToUtf8(FormatDxfReal(v));
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", std::strtod(text.c_str(), nullptr));
    return buf;
}

inline std::vector<std::string> PreviewEntityLines(const DrawingPreview& preview)
{
    std::vector<std::string> out;
    const auto layers = DrawingLayers();
    for (const PreviewEntity& e : preview.entities) {
        std::string line;
        auto add = [&](const std::string& field) {
            if (!line.empty()) line += '|';
            line += field;
        };
        const char* kinds[] = {"LINE", "POLYLINE", "TEXT"};
        add(kinds[static_cast<int>(e.kind)]);
        add(ToUtf8(layers[e.layer].name));
        switch (e.kind) {
        case PreviewKind::Line:
            for (const TAcadPoint& p : preview.Points(e)) add(FileReal(p.x)), add(FileReal(p.y)), add(FileReal(p.z));
            break;
        case PreviewKind::Polyline:
            add(e.closed ? "1" : "0");
            for (const TAcadPoint& p : preview.Points(e)) add(FileReal(p.x)), add(FileReal(p.y));
            break;
        case PreviewKind::Text: {
            const TAcadPoint& p = preview.Points(e)[0];
            add(FileReal(p.x)), add(FileReal(p.y)), add(FileReal(p.z)), add(FileReal(e.height));
            add(std::to_string(e.horizontal)), add(std::to_string(e.vertical));
            add(ToUtf8(e.text));
            break;
        }
        }
        out.push_back(line);
    }
    return out;
}

#ifndef _WIN32
// ezdxf's reading of each file: its audit error count first ("errors N"), then one line per entity of the
// model space in file order. The texts are decoded from code page 932.
inline std::vector<std::vector<std::string>> ReadDxfEntityLines(const std::vector<std::filesystem::path>& files,
                                                                 const std::filesystem::path& workDir)
{
    const std::filesystem::path script = workDir / "entities.py";
    std::ofstream(script) << R"(import sys, ezdxf
out = sys.stdout.buffer
def real(v):
    return '%.17g' % v
for path in sys.argv[1:]:
    doc = ezdxf.readfile(path, encoding='cp932')
    out.write(b'FILE\n')
    out.write(('errors %d\n' % len(doc.audit().errors)).encode())
    for e in doc.modelspace():
        t = e.dxftype()
        if t == 'LINE':
            s, n = e.dxf.start, e.dxf.end
            f = ['LINE', e.dxf.layer, real(s.x), real(s.y), real(s.z), real(n.x), real(n.y), real(n.z)]
        elif t == 'POLYLINE':
            f = ['POLYLINE', e.dxf.layer, '1' if e.is_closed else '0']
            for v in e.vertices:
                f += [real(v.dxf.location.x), real(v.dxf.location.y)]
        elif t == 'TEXT':
            p = e.dxf.insert
            f = ['TEXT', e.dxf.layer, real(p.x), real(p.y), real(p.z), real(e.dxf.height),
                 str(e.dxf.halign), str(e.dxf.valign), e.dxf.text]
        else:
            f = [t]
        out.write(('|'.join(f) + '\n').encode('utf-8'))
)";
    std::string cmd = GRIDVANE_PYTHON;
    for (const auto& arg : [&] {
             std::vector<std::string> args{script.string()};
             for (const auto& f : files) args.push_back(f.string());
             return args;
         }()) {
        cmd += ' ';
        cmd += arg;
    }
    std::vector<std::vector<std::string>> result;
    FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe) return result;
    std::string all;
    char buf[8192];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) all.append(buf, n);
    if (pclose(pipe) != 0) return result;
    std::size_t start = 0;
    while (start < all.size()) {
        const std::size_t end = all.find('\n', start);
        const std::string line = all.substr(start, end - start);
        start = end == std::string::npos ? all.size() : end + 1;
        if (line == "FILE") result.emplace_back();
        else if (!result.empty()) result.back().push_back(line);
    }
    return result;
}
#endif

// Empty when a and b are equal; otherwise where they first differ, for a readable failure.
inline std::string FirstDifference(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const std::string x = i < a.size() ? a[i] : "(none)", y = i < b.size() ? b[i] : "(none)";
        if (x != y) return "entity " + std::to_string(i) + ": " + x + " <> " + y;
    }
    return {};
}

} // namespace gridvane::testing
