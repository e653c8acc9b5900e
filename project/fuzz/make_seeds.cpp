// SPDX-License-Identifier: MIT
// Writes a seed corpus for project_reader_fuzz into the folder given: a file of every version the
// reader knows, in CP932, and the current version in its UTF-8 form.
#include "base/cp932.h"
#include "project/project_writer.h"

#include <cstdio>
#include <fstream>
#include <string>

using namespace pictora;

namespace
{

// Sections every version holds, between the title and the entry count, written by hand.
const char *kTitle = "\n[edHTMLPath]\n/out\n\n[edTitle]\nアルバム\n20\n0\n";
const char *kColours
    = "\n[Colors]\n0\n255\n128\n65280\n16711680\n8388608\n\n[BackGround]\n16777215\n/bg.jpg\n";
const char *kButtons = "\n[Button]\n1\n0\n1\nL\nC\nR\nl.htm\nc.htm\nr.htm\n";
const char *kOldCells = "\n[Cells]\n3\n2\n2\n2\n1\n100\n120\n1\n";
const char *kCells = "\n[Cells]\n3\n2\n2\n2\n1\n100\n120\n1\n1\n65280\n0\n255\n";
const char *kImages = "\n[ThumbNail]\n200\n150\n0\n\n[ViewImage]\n800\n600\n0\n0\n\n[JPEG]\n80\n4:1:1\n";
const char *kCount = "\n[ImageNum]\n2\n\n[TimeStamp]\n0\n\n[ImageList]\n";
const char *kEntries = "/p/a.jpg\n上<BR>下\n2001年01月02日 03時04分\n/p/bb.jpg\ngone\nstamp\n";

std::string crlf(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

bool put(const std::string &folder, const char *name, const std::string &bytes)
{
    std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out);
}

std::string cp932(const std::string &utf8)
{
    return base::cp932::encode(crlf(utf8)).value();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const std::string head = "[PictoraProject ";
    const std::string comment = "\n[mmComment]\n上<BR>下\n下段\n10\n2\n";
    const std::string v0250 = head + "0.2.5.0]\n" + kTitle + "\n[mmComment]\n上<BR>下\n10\n2\n" + kColours
        + kOldCells + kImages + kCount + kEntries;
    const std::string v0270 = head + "0.2.7.0]\n" + kTitle + comment + kColours + kButtons + kOldCells
        + kImages + kCount + kEntries;
    const std::string v0290 = head + "0.2.9.0]\n" + kTitle + comment + "\n[SlideShow]\n0\n7\n" + kColours
        + kButtons + kOldCells + kImages + kCount + kEntries;
    const std::string v02110 = head + "0.2.11.0]\n" + kTitle + comment + "\n[SlideShow]\n7\n" + kColours
        + kButtons + kCells + kImages + kCount + "1\n" + kEntries;

    album::AlbumSettings settings;
    settings.store(album::OptionId::mmComment, std::string("一\r\n\r\n三\r\n"));
    const std::vector<album::ImageEntry> images {
        { "/p/a.jpg", "海\r\n山", "2001年02月03日 04時05分" },
        { "/p/bb.jpg", "", "" },
        { "/p/c.jpg", "x", "s" },
    };
    const std::vector<album::ImageEntry> odd { { "/p/〜b.jpg", "¥", "" } };
    album::AlbumSettings screens = settings;
    screens.store(album::OptionId::cbPhone, true);
    screens.store(album::OptionId::csDensity, 2);

    const bool ok = put(folder, "v0250.pxa", cp932(v0250)) && put(folder, "v0270.pxa", cp932(v0270))
        && put(folder, "v0290.pxa", cp932(v0290)) && put(folder, "v02110.pxa", cp932(v02110))
        && put(folder, "v02130-empty.pxa", project::projectFileBytes(album::AlbumSettings(), {}))
        && put(folder, "v02130-pictures.pxa", project::projectFileBytes(settings, images))
        && put(folder, "v02130-utf8.pxa", project::projectFileBytes(settings, odd))
        && put(folder, "v0330-pictures.pxa", project::projectFileBytes(screens, images));
    if (!ok) {
        std::fprintf(stderr, "cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
