// Draws the program's artwork and writes it into the folder given on the
// command line (resources/images): the film-strip overlays and the icon.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app_icon.hpp"
#include "film_strip.hpp"
#include "image_files.hpp"

using namespace n_zorbel::n_art;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  try {
    for (auto [height, name] : {std::pair{200, "film_strip_tall"}, std::pair{150, "film_strip_wide"}}) {
      const t_Canvas strip = DrawFilmStrip(height);
      // GdiAlphaBlend takes premultiplied pixels; PNG readers expect straight alpha.
      WriteFile(folder + name + ".bmp", EncodeBmp(strip.ToImage(true)));
      WriteFile(folder + name + ".png", EncodePng(strip.ToImage(false)));
    }
    std::vector<t_Image8> icons;
    for (int size : {16, 20, 24, 32, 40, 48, 64, 128, 256}) icons.push_back(DrawIcon(size).ToImage(false));
    WriteFile(folder + "mivora.ico", EncodeIco(icons));
    // The sizes of the freedesktop hicolor theme, and its scalable form.
    for (const t_Image8& icon : icons)
      if (icon.width != 20 && icon.width != 40)
        WriteFile(folder + "mivora-" + std::to_string(icon.width) + ".png", EncodePng(icon));
    WriteFile(folder + "mivora.svg", ToSvg(IconLayers(256), 256));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
