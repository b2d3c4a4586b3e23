// stationgen: writes the demo's data into a run directory:
//   <run>/data/station03.ase   the station scene
//   <run>/data/fajna.jpg       the spot light's projector slide
//   <run>/data.pak             both, deflated, under the names the demo asks for
// The same program always writes the same bytes.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/stationgen/AseWriter.h"
#include "tools/stationgen/Gobo.h"
#include "tools/stationgen/Station.h"
#include "tools/stationgen/Validate.h"
#include "tools/stationgen/ZipWriter.h"

namespace {

bool writeFile(const std::filesystem::path& path, const void* data, size_t size) {
  // Written beside the target and renamed, so an interrupted build never
  // leaves a half-written file with a fresh time stamp.
  std::filesystem::path temp = path;
  temp += ".tmp";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out.good()) return false;
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  return !ec;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "stationgen: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace stationgen;
  if (argc != 2) {
    std::fprintf(stderr, "usage: stationgen <run directory>\n");
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  const std::filesystem::path run = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(run / "data", ec);
  if (ec) return fail("cannot create " + (run / "data").string() + ": " + ec.message());

  Scene scene = buildStation();
  std::string error;
  if (!validateScene(scene, SceneLimits{}, error)) return fail("scene check failed: " + error);

  std::string ase;
  ase.reserve(48u << 20);
  writeAse(scene, ase);
  std::vector<uint8_t> aseBytes(ase.begin(), ase.end());
  std::string().swap(ase);

  const int goboSize = 512;
  std::vector<uint8_t> jpeg = encodeJpeg(paintGobo(goboSize), goboSize, goboSize, 92);
  if (jpeg.empty()) return fail("JPEG encoding of the projector slide failed");

  // Member names are the names the demo asks the file manager for: the scene
  // opens "./data/station03.ase" itself and requests "./data/fajna.jpg" as a
  // texture, which the archive backend looks up as given.
  std::vector<uint8_t> pak;
  if (!buildZip({{"./data/station03.ase", &aseBytes}, {"./data/fajna.jpg", &jpeg}}, pak, error))
    return fail("archive: " + error);

  if (!writeFile(run / "data" / "station03.ase", aseBytes.data(), aseBytes.size()) ||
      !writeFile(run / "data" / "fajna.jpg", jpeg.data(), jpeg.size()) ||
      !writeFile(run / "data.pak", pak.data(), pak.size()))
    return fail("cannot write into " + run.string());

  size_t faces = 0, vertices = 0;
  for (const SceneObject& o : scene.objects) {
    faces += o.mesh.faces.size();
    vertices += o.mesh.positions.size();
  }
  double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  std::printf("stationgen: %zu objects, %zu triangles, %zu vertices, %zu materials; station03.ase %zu bytes, "
              "fajna.jpg %zu bytes, data.pak %zu bytes (%.0f ms)\n",
              scene.objects.size(), faces, vertices, scene.materials.size(), aseBytes.size(), jpeg.size(),
              pak.size(), ms);
  return 0;
}
