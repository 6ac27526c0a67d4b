// Writes the application icon: make_icon ICO_FILE [PNG_PREFIX]
// The .ico holds every size; with a prefix, PREFIX-16.png and the others too.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app_icon_image.h"
#include "icon_files.h"

namespace {

bool WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out)
        std::fprintf(stderr, "make_icon: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_icon ICO_FILE [PNG_PREFIX]\n");
        return 2;
    }
    std::vector<vellomar::RgbaImage> images;
    for (int size : vellomar::kAppIconSizes)
        images.push_back(vellomar::DrawAppIcon(size));
    bool written = WriteFile(argv[1], vellomar::EncodeIco(images));
    if (argc == 3)
        for (const auto& image : images)
            written &= WriteFile(std::string(argv[2]) + "-" + std::to_string(image.width) + ".png",
                                 vellomar::EncodePng(image));
    return written ? 0 : 1;
}
