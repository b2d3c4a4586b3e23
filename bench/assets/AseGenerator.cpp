#include "AseGenerator.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

class Writer {
 public:
  explicit Writer(FILE* f) : file(f) { buffer.reserve(1 << 20); }
  ~Writer() { flush(); }
  void line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    char text[512];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    buffer.append(text, size_t(n));
    buffer.append("\r\n");
    if (buffer.size() > (1 << 20)) flush();
  }
  void flush() {
    written += buffer.size();
    std::fwrite(buffer.data(), 1, buffer.size(), file);
    buffer.clear();
  }
  uint64_t size() const { return written + buffer.size(); }

 private:
  FILE* file;
  std::string buffer;
  uint64_t written = 0;
};

// Deterministic, so that every run reads the same file.
struct Random {
  uint64_t state = 0x2545F4914F6CDD1Dull;
  double next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return double(state >> 11) / double(1ull << 53);
  }
};

void writeObject(Writer& w, Random& rng, uint32_t index, uint32_t materials, AseGeneratorStats& stats) {
  const int columns = 10 + int(rng.next() * 32), rows = 10 + int(rng.next() * 32);
  const int vertexCount = columns * rows;
  const int faceCount = (columns - 1) * (rows - 1) * 2;
  const double px = (rng.next() - 0.5) * 3000, py = (rng.next() - 0.5) * 3000, pz = rng.next() * 400;
  const double angle = rng.next() * 6.2831853, size = 20 + rng.next() * 200;
  const double c = std::cos(angle), s = std::sin(angle);

  w.line("*GEOMOBJECT {");
  w.line("\t*NODE_NAME \"Panel%05u\"", index);
  w.line("\t*NODE_TM {");
  w.line("\t\t*NODE_NAME \"Panel%05u\"", index);
  w.line("\t\t*INHERIT_POS 0 0 0");
  w.line("\t\t*INHERIT_ROT 0 0 0");
  w.line("\t\t*INHERIT_SCL 0 0 0");
  w.line("\t\t*TM_ROW0 %.4f\t%.4f\t0.0000", c, s);
  w.line("\t\t*TM_ROW1 %.4f\t%.4f\t0.0000", -s, c);
  w.line("\t\t*TM_ROW2 0.0000\t0.0000\t1.0000");
  w.line("\t\t*TM_ROW3 %.4f\t%.4f\t%.4f", px, py, pz);
  w.line("\t\t*TM_POS %.4f\t%.4f\t%.4f", px, py, pz);
  w.line("\t\t*TM_ROTAXIS 0.0000\t0.0000\t1.0000");
  w.line("\t\t*TM_ROTANGLE %.4f", angle);
  w.line("\t\t*TM_SCALE 1.0000\t1.0000\t1.0000");
  w.line("\t\t*TM_SCALEAXIS 0.0000\t0.0000\t0.0000");
  w.line("\t\t*TM_SCALEAXISANG 0.0000");
  w.line("\t}");
  w.line("\t*MESH {");
  w.line("\t\t*TIMEVALUE 0");
  w.line("\t\t*MESH_NUMVERTEX %d", vertexCount);
  w.line("\t\t*MESH_NUMFACES %d", faceCount);
  w.line("\t\t*MESH_VERTEX_LIST {");
  for (int r = 0, i = 0; r < rows; ++r) {
    for (int k = 0; k < columns; ++k, ++i) {
      // A gently curved panel, in world space as the exporter writes it.
      double lx = (k - columns / 2.0) * size / columns, ly = (r - rows / 2.0) * size / rows;
      double lz = std::sin(k * 0.3) * std::cos(r * 0.2) * size * 0.05;
      w.line("\t\t\t*MESH_VERTEX %5d\t%.4f\t%.4f\t%.4f", i, px + lx * c - ly * s, py + lx * s + ly * c, pz + lz);
    }
  }
  w.line("\t\t}");
  w.line("\t\t*MESH_FACE_LIST {");
  for (int r = 0, f = 0; r + 1 < rows; ++r) {
    for (int k = 0; k + 1 < columns; ++k) {
      int a = r * columns + k, b = a + 1, d = a + columns, e = d + 1;
      w.line("\t\t\t*MESH_FACE %5d:    A: %5d B: %5d C: %5d AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID %d",
             f++, a, b, d, int(index % 3));
      w.line("\t\t\t*MESH_FACE %5d:    A: %5d B: %5d C: %5d AB:    1 BC:    1 CA:    0\t *MESH_SMOOTHING 1 \t*MESH_MTLID %d",
             f++, e, d, b, int(index % 3));
    }
  }
  w.line("\t\t}");
  w.line("\t\t*MESH_NUMTVERTEX %d", vertexCount);
  w.line("\t\t*MESH_TVERTLIST {");
  for (int r = 0, i = 0; r < rows; ++r)
    for (int k = 0; k < columns; ++k, ++i)
      w.line("\t\t\t*MESH_TVERT %d\t%.4f\t%.4f\t0.0000", i, double(k) / (columns - 1), double(r) / (rows - 1));
  w.line("\t\t}");
  w.line("\t\t*MESH_NUMTVFACES %d", faceCount);
  w.line("\t\t*MESH_TFACELIST {");
  for (int r = 0, f = 0; r + 1 < rows; ++r) {
    for (int k = 0; k + 1 < columns; ++k) {
      int a = r * columns + k, b = a + 1, d = a + columns, e = d + 1;
      w.line("\t\t\t*MESH_TFACE %d\t%d\t%d\t%d", f++, a, b, d);
      w.line("\t\t\t*MESH_TFACE %d\t%d\t%d\t%d", f++, e, d, b);
    }
  }
  w.line("\t\t}");
  w.line("\t\t*MESH_NUMCVERTEX 0");
  w.line("\t\t*MESH_MAPPINGCHANNEL 2 {");
  w.line("\t\t\t*MESH_NUMTVERTEX 4");
  w.line("\t\t\t*MESH_TVERTLIST {");
  for (int i = 0; i < 4; ++i) w.line("\t\t\t\t*MESH_TVERT %d\t%.4f\t%.4f\t0.0000", i, double(i & 1), double(i >> 1));
  w.line("\t\t\t}");
  w.line("\t\t\t*MESH_NUMTVFACES %d", faceCount);
  w.line("\t\t\t*MESH_TFACELIST {");
  for (int f = 0; f < faceCount; ++f) w.line("\t\t\t\t*MESH_TFACE %d\t%d\t%d\t%d", f, f & 1 ? 3 : 0, 2, 1);
  w.line("\t\t\t}");
  w.line("\t\t}");
  w.line("\t}");
  w.line("\t*PROP_MOTIONBLUR 0");
  w.line("\t*PROP_CASTSHADOW 1");
  w.line("\t*PROP_RECVSHADOW 1");
  w.line("\t*MATERIAL_REF %u", index % materials);
  if (index % 8 == 0) {
    w.line("\t*TM_ANIMATION {");
    w.line("\t\t*NODE_NAME \"Panel%05u\"", index);
    w.line("\t\t*CONTROL_POS_TRACK {");
    for (int t = 0; t < 16; ++t)
      w.line("\t\t\t*CONTROL_POS_SAMPLE %d\t%.4f\t%.4f\t%.4f", t * 160, px + t, py, pz + t * 0.5);
    w.line("\t\t}");
    w.line("\t\t*CONTROL_ROT_TRACK {");
    for (int t = 0; t < 4; ++t) w.line("\t\t\t*CONTROL_ROT_SAMPLE %d\t0.0000\t0.0000\t1.0000\t0.1000", t * 640);
    w.line("\t\t}");
    w.line("\t}");
  }
  w.line("}");
  stats.objects++;
  stats.vertices += uint64_t(vertexCount);
  stats.faces += uint64_t(faceCount);
}

}  // namespace

bool generateAseScene(const std::string& path, uint64_t targetBytes, AseGeneratorStats* stats) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  AseGeneratorStats local;
  {
    Writer w(file);
    Random rng;
    const uint32_t materials = 24;
    w.line("*3DSMAX_ASCIIEXPORT\t200");
    w.line("*COMMENT \"AsciiExport Version  2,00 - generated\"");
    w.line("*SCENE {");
    w.line("\t*SCENE_FILENAME \"station.max\"");
    w.line("\t*SCENE_FIRSTFRAME 0");
    w.line("\t*SCENE_LASTFRAME 100");
    w.line("\t*SCENE_FRAMESPEED 30");
    w.line("\t*SCENE_TICKSPERFRAME 160");
    w.line("}");
    w.line("*MATERIAL_LIST {");
    w.line("\t*MATERIAL_COUNT %u", materials);
    for (uint32_t m = 0; m < materials; ++m) {
      w.line("\t*MATERIAL %u {", m);
      w.line("\t\t*MATERIAL_NAME \"Material #%u\"", m);
      w.line("\t\t*MATERIAL_CLASS \"Standard\"");
      w.line("\t\t*MATERIAL_AMBIENT 0.1000\t0.1000\t0.1000");
      w.line("\t\t*MATERIAL_DIFFUSE %.4f\t%.4f\t%.4f", rng.next(), rng.next(), rng.next());
      w.line("\t\t*MATERIAL_SPECULAR 0.9000\t0.9000\t0.9000");
      w.line("\t\t*MATERIAL_SHINE 0.2500");
      w.line("\t\t*MATERIAL_SHINESTRENGTH 0.0500");
      w.line("\t\t*MATERIAL_SHADING Blinn");
      w.line("\t\t*MAP_DIFFUSE {");
      w.line("\t\t\t*MAP_NAME \"Map #%u\"", m);
      w.line("\t\t\t*MAP_CLASS \"Bitmap\"");
      w.line("\t\t\t*BITMAP \"C:\\3dsmax\\maps\\station\\panel%02u.jpg\"", m);
      w.line("\t\t\t*UVW_U_TILING 1.0000");
      w.line("\t\t\t*UVW_V_TILING 1.0000");
      w.line("\t\t\t*BITMAP_FILTER Pyramidal");
      w.line("\t\t}");
      w.line("\t}");
    }
    w.line("}");
    uint32_t index = 0;
    while (w.size() < targetBytes) {
      w.line("*GROUP \"Section%u\" {", index / 16);
      for (int k = 0; k < 16 && w.size() < targetBytes; ++k) writeObject(w, rng, index++, materials, local);
      w.line("}");
    }
    w.flush();
    local.bytes = w.size();
  }
  bool ok = std::fclose(file) == 0;
  if (stats) *stats = local;
  return ok;
}
