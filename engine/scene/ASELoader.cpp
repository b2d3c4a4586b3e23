#include "engine/scene/ASELoader.h"

#include <cstring>

#include "engine/Log.h"
#include "engine/Memory.h"
#include "engine/assets/ImportMesh.h"
#include "engine/assets/ScanFormat.h"
#include "engine/scene/ASEText.h"
#include "engine/scene/SGControllerQ4.h"
#include "engine/scene/SGControllerV3.h"
#include "engine/scene/SGMesh.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

const uint32_t maxBlockSize = 1u << 20;

// Index of the first CR or LF among the n bytes at p, or n. With stopAtNul a
// NUL byte counts too.
inline uint32_t findLineEnd(const char* p, uint32_t n, bool stopAtNul) {
  uint32_t i = 0;
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i nul = stopAtNul ? _mm_setzero_si128() : cr;
  for (; i + 16 <= n; i += 16) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)),
                                _mm_cmpeq_epi8(bytes, nul));
    int mask = _mm_movemask_epi8(hits);
    if (mask) return i + uint32_t(__builtin_ctz(unsigned(mask)));
  }
#endif
  for (; i < n; ++i)
    if (p[i] == '\r' || p[i] == '\n' || (stopAtNul && p[i] == 0)) return i;
  return n;
}

// Where "A:", "B:" and "C:" first occur in the n characters at text: at each
// colon, the letter before it.
void findFaceLabels(const char* text, uint32_t n, const char** label) {
  int found = 0;
  auto visit = [&](uint32_t colon) {
    if (colon == 0) return;
    char c = text[colon - 1];
    if (c >= 'A' && c <= 'C' && !label[c - 'A']) {
      label[c - 'A'] = text + colon - 1;
      ++found;
    }
  };
  uint32_t i = 0;
#if defined(__SSE2__)
  const __m128i colons = _mm_set1_epi8(':');
  for (; i + 16 <= n && found < 3; i += 16) {
    unsigned mask = unsigned(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)), colons)));
    for (; mask && found < 3; mask &= mask - 1) visit(i + uint32_t(__builtin_ctz(mask)));
  }
#endif
  for (; i < n && found < 3; ++i)
    if (text[i] == ':') visit(i);
}

// File vectors have their second and third components exchanged.
inline D3DXVECTOR3 swapped(const float* v) { return D3DXVECTOR3(v[0], v[2], v[1]); }

}  // namespace

// What finishing a geometry object needs to know about its mesh blocks.
struct ASELoader::ObjectState {
  const char* rejection = nullptr;  // why the object cannot be used, if it cannot
};

// --- reader ------------------------------------------------------------------

ASELoader::ASELoader() {
  lineBuffer[0] = 0;
  quoted[0] = 0;
}

ASELoader::~ASELoader() {
  for (uint32_t i = 0; i < materials.count; ++i) delete materials.items[i];
  if (file) std::fclose(file);
  if (block) TRACKED_FREE(block);
}

bool ASELoader::load(const char* fileName) {
  refusal = nullptr;
  file = openASEText(fileName, &refusal);
  if (!file) return false;
  // A small file gets a block of its own size. One spare byte: a line ending
  // at the block's end is NUL-terminated there.
  blockSize = maxBlockSize;
  long start = std::ftell(file);
  if (start >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
    long size = std::ftell(file) - start;
    if (size >= 0 && size < long(maxBlockSize)) blockSize = uint32_t(size) + 1;
    std::fseek(file, start, SEEK_SET);
  }
  block = static_cast<char*>(TRACKED_ALLOC(blockSize + 1));
  blockPos = blockFill = 0;
  atEnd = afterCR = false;
  if (block) readTopLevel();
  TRACKED_FREE(block);
  block = nullptr;
  patched = nullptr;
  line = "";
  std::fclose(file);
  file = nullptr;
  if (!refusal) return true;
  for (uint32_t i = 0; i < nodes.count; ++i) delete nodes.items[i];
  nodes.clear();
  return false;
}

void ASELoader::getNodes(Array<SGMesh*>& out) const {
  out.resize(nodes.count, false);
  if (nodes.count) std::memcpy(out.items, nodes.items, sizeof(SGMesh*) * nodes.count);
}

void ASELoader::getMaterials(Array<ASEMaterial*>& out) const {
  out.resize(materials.count, false);
  if (materials.count) std::memcpy(out.items, materials.items, sizeof(ASEMaterial*) * materials.count);
}

bool ASELoader::refill() {
  blockPos = 0;
  blockFill = uint32_t(std::fread(block, 1, blockSize, file));
  return blockFill != 0;
}

// The common case: the whole line, terminator included, lies in the block
// and holds no NUL. It is used where it is, NUL-terminated by patching the
// byte after it. False, with nothing consumed, in every other case.
bool ASELoader::readLineInBlock() {
  if (blockPos >= blockFill) return false;
  char* p = block + blockPos;
  uint32_t available = blockFill - blockPos;
  uint32_t start = (afterCR && *p == '\n') ? 1 : 0;  // the LF of a CR LF
  uint32_t limit = available - start;
  if (limit > maxLineLength - start) limit = maxLineLength - start;
  uint32_t end = start + findLineEnd(p + start, limit, true);
  uint32_t length;
  bool ended = true;
  if (end < start + limit) {
    if (p[end] == 0) return false;
    length = end + 1;
    afterCR = p[end] == '\r';
  } else if (start + limit == maxLineLength) {
    length = maxLineLength;  // a long line, cut
    afterCR = false;
    ended = false;
  } else {
    return false;  // runs on into the next block
  }
  blockPos += length;
  if (p[length - 1] == '\n') --length;
  patched = p + length;
  patchedByte = *patched;
  *patched = 0;
  line = p;
  finishLine(length, ended);
  return true;
}

void ASELoader::readLine() {
  if (patched) {
    *patched = patchedByte;
    patched = nullptr;
  }
  if (readLineInBlock()) return;

  uint32_t length = 0;
  // A LF directly after a CR completes that CR's line end; it is kept at the
  // start of this line, where scanning takes it for white space.
  bool pairLF = afterCR;
  afterCR = false;
  bool ended = false;
  while (length < maxLineLength) {
    if (blockPos == blockFill && !refill()) {
      atEnd = ended = true;
      break;
    }
    const char* p = block + blockPos;
    if (pairLF) {
      pairLF = false;
      if (*p == '\n') {
        lineBuffer[length++] = '\n';
        ++blockPos;
        continue;
      }
    }
    uint32_t limit = blockFill - blockPos;
    if (limit > maxLineLength - length) limit = maxLineLength - length;
    uint32_t end = findLineEnd(p, limit, false);
    if (end < limit) {
      std::memcpy(lineBuffer + length, p, end + 1);
      length += end + 1;
      blockPos += end + 1;
      afterCR = p[end] == '\r';
      ended = true;
      break;
    }
    std::memcpy(lineBuffer + length, p, limit);
    length += limit;
    blockPos += limit;
  }
  // The CR stays in the line (white space to the scans); a final LF goes.
  if (length && lineBuffer[length - 1] == '\n') --length;
  lineBuffer[length] = 0;
  line = lineBuffer;
  // Text functions see the line up to its first NUL, if it holds one.
  const void* nul = std::memchr(lineBuffer, 0, length);
  finishLine(nul ? uint32_t(static_cast<const char*>(nul) - lineBuffer) : length, ended);
}

void ASELoader::finishLine(uint32_t length, bool ended) {
  lineLength = length;
  tokenFound = false;
  if (lineEnded) ++lineNumber;
  lineEnded = ended;
}


void ASELoader::findToken() {
  if (tokenFound) return;
  tokenFound = true;
  uint32_t i = 0;
  while (i < lineLength && ScanFormat::isSpace(line[i])) ++i;
  tokenStart = i;
  // A token longer than any keyword simply matches none.
  while (i < lineLength && !ScanFormat::isSpace(line[i])) ++i;
  tokenLength = i - tokenStart;
}

bool ASELoader::opensBlock() const { return std::memchr(line, '{', lineLength) != nullptr; }

bool ASELoader::endsBlock() {
  findToken();
  return tokenLength == 1 && line[tokenStart] == '}';
}

const char* ASELoader::quotedText() {
  const char* open = static_cast<const char*>(std::memchr(line, '"', lineLength));
  uint32_t length = 0;
  if (open) {
    const char* text = open + 1;
    const char* lineEnd = line + lineLength;
    const char* close = static_cast<const char*>(std::memchr(text, '"', size_t(lineEnd - text)));
    length = uint32_t((close ? close : lineEnd) - text);
    // Longer text than the buffer holds is cut at 511 characters.
    if (length > sizeof(quoted) - 1) length = sizeof(quoted) - 1;
    std::memcpy(quoted, text, length);
  }
  quoted[length] = 0;
  return quoted;
}

void ASELoader::skipBlock() {
  // Nested blocks are counted rather than recursed into, so that no depth of
  // braces in a file can exhaust the stack; the lines read are the same.
  Block block(*this);
  uint32_t depth = 1;
  for (;;) {
    if (!nextLine()) return;
    if (opensBlock()) {
      ++depth;
    } else if (endsBlock()) {
      if (--depth == 0) {
        closes();
        return;
      }
    }
    if (atEnd) return;
  }
}

void ASELoader::scanInt(int32_t* value) const {
  const char* p = ScanFormat::skipToken(line);
  if (p) ScanFormat::readInt(p, value);
}

void ASELoader::scanFloats(float* values, int count) const {
  const char* p = ScanFormat::skipToken(line);
  for (int i = 0; i < count && p; ++i) p = ScanFormat::readFloat(p, &values[i]);
}

void ASELoader::readTopLevel() {
  // A *GROUP's contents read like the top level; groups only nest, so a depth
  // count stands in for reading each group in a context of its own.
  uint32_t groupDepth = 0;
  for (;;) {
    // A line that ended the blocks before it is read here, where it belongs.
    if (!resync) readLine();
    resync = false;
    if (isKeyword("*3DSMAX_ASCIIEXPORT")) {
      sawHeader = true;
      scanInt(&version);
    } else if (isKeyword("*SCENE")) {
      readScene();
    } else if (isKeyword("*MATERIAL_LIST")) {
      readMaterialList();
    } else if (isKeyword("*GEOMOBJECT")) {
      readGeomObject();
    } else if (isKeyword("*GROUP")) {
      quotedText();  // the group's name is not kept
      ++groupDepth;
    } else if (opensBlock()) {
      skipBlock();
    } else if (endsBlock()) {
      if (groupDepth == 0) return;
      --groupDepth;
    }
    if (atEnd) return;
  }
}

void ASELoader::readScene() {
  Block block(*this);
  for (;;) {
    if (!nextLine()) return;
    if (isKeyword("*SCENE_FIRSTFRAME")) {
      scanInt(&firstFrame);
    } else if (isKeyword("*SCENE_LASTFRAME")) {
      scanInt(&lastFrame);
    } else if (isKeyword("*SCENE_FRAMESPEED")) {
      scanInt(&frameSpeed);
    } else if (isKeyword("*SCENE_TICKSPERFRAME")) {
      scanInt(&ticksPerFrame);
    } else if (opensBlock()) {
      skipBlock();
    } else if (closes()) {
      return;
    }
    if (stopped()) return;
  }
}

void ASELoader::readGeomObject() {
  SGMesh* node = new SGMesh();
  ObjectState state;
  Block block(*this);
  for (;;) {
    if (!nextLine()) break;
    if (isKeyword("*NODE_NAME")) {
      node->setName(quotedText());
    } else if (isKeyword("*NODE_TM")) {
      readNodeTM(node);
    } else if (isKeyword("*MESH")) {
      readMesh(node, state);
    } else if (isKeyword("*MATERIAL_REF")) {
      // A failed scan leaves the index as it is.
      int32_t index = node->getMaterialIndex();
      scanInt(&index);
      if (materials.count && uint32_t(index) < materials.count) node->setMaterialIndex(index);
    } else if (isKeyword("*WIREFRAME_COLOR")) {
      float colour[3] = {0.5f, 0.5f, 0.5f};
      scanFloats(colour, 3);
      node->setWireframeColour(colour);
    } else if (isKeyword("*TM_ANIMATION")) {
      readAnimation(node);
    } else if (opensBlock()) {
      skipBlock();
    } else if (closes()) {
      break;
    }
    if (stopped()) break;
  }

  // The geometry must be safe to weld into 16-bit indexed triangles later.
  const ImportMesh& mesh = node->getImportMesh();
  const char* rejection = state.rejection;
  if (!rejection) rejection = mesh.check();
  if (!rejection && mesh.faces.count / 3 * 3 > ImportMesh::maxVertices && mesh.exceedsVertexLimit())
    rejection = "more than 65536 vertices";
  ++objectsRead;
  if (rejection) {
    logPrintf("ASELoader::load: Object '%s' skipped: %s.\n", node->getName(), rejection);
    ++skippedObjects;
    delete node;
    return;
  }
  attachNode(node);
}

void ASELoader::readNodeTM(SGMesh* node) {
  // Parts the block does not give stay neutral.
  float position[3] = {0, 0, 0};
  float rotationAxis[3] = {0, 0, 0};
  float rotationAngle = 0;
  float scale[3] = {1, 1, 1};
  float scaleAxis[3] = {0, 0, 0};
  float scaleAxisAngle = 0;
  Block block(*this);
  for (;;) {
    if (!nextLine()) break;
    if (isKeyword("*TM_POS")) {
      scanFloats(position, 3);
    } else if (isKeyword("*TM_ROTAXIS")) {
      scanFloats(rotationAxis, 3);
    } else if (isKeyword("*TM_ROTANGLE")) {
      scanFloats(&rotationAngle, 1);
    } else if (isKeyword("*TM_SCALE")) {
      scanFloats(scale, 3);
    } else if (isKeyword("*TM_SCALEAXIS")) {
      scanFloats(scaleAxis, 3);
    } else if (isKeyword("*TM_SCALEAXISANG")) {
      scanFloats(&scaleAxisAngle, 1);
    } else if (opensBlock()) {
      skipBlock();
    } else if (closes()) {
      break;
    }
    if (stopped()) break;
  }

  // The matrix rows of the block are not read: the transform is rebuilt from
  // its parts, exactly as the node composes its world matrix.
  D3DXVECTOR3 p = swapped(position), r = swapped(rotationAxis), s = swapped(scale), k = swapped(scaleAxis);
  D3DXQUATERNION q, qs;
  D3DXQuaternionRotationAxis(&q, &r, rotationAngle);
  D3DXQuaternionRotationAxis(&qs, &k, scaleAxisAngle);
  node->setPosition(p);
  node->setScale(s);
  node->setRotation(q);
  node->setScaleAxisRotation(qs);
  D3DXMATRIX m = SGMesh::composeTransform(p, s, qs, q);
  node->setTransform(&m);
}

void ASELoader::readMesh(SGMesh* node, ObjectState& state) {
  ImportMesh& mesh = node->getImportMesh();
  int32_t vertexCount = 0, faceCount = 0, texVertexCount = 0, texFaceCount = 0;
  // The file's vertices are in world space; the node keeps them in its own.
  D3DXMATRIX inverse;
  if (!D3DXMatrixInverse(&inverse, nullptr, node->getTransform())) {
    if (!state.rejection) state.rejection = "node transform has no inverse";
    D3DXMatrixIdentity(&inverse);  // the block is still read through
  }
  Block block(*this);
  for (;;) {
    if (!nextLine()) break;
    if (isKeyword("*MESH_NUMVERTEX")) {
      scanInt(&vertexCount);
    } else if (isKeyword("*MESH_NUMFACES")) {
      scanInt(&faceCount);
    } else if (isKeyword("*MESH_VERTEX_LIST")) {
      readVertexList(mesh, vertexCount, inverse);
    } else if (isKeyword("*MESH_FACE_LIST")) {
      readFaceList(mesh, faceCount);
    } else if (isKeyword("*MESH_NUMTVERTEX")) {
      scanInt(&texVertexCount);
    } else if (isKeyword("*MESH_TVERTLIST")) {
      readTexVertexList(mesh.texCoords, texVertexCount);
    } else if (isKeyword("*MESH_NUMTVFACES")) {
      scanInt(&texFaceCount);
    } else if (isKeyword("*MESH_TFACELIST")) {
      readTexFaceList(mesh.texFaces, texFaceCount);
    } else if (isKeyword("*MESH_MAPPINGCHANNEL")) {
      readMappingChannel(mesh);
    } else if (opensBlock()) {
      skipBlock();  // normals are computed, never read; vertex colours are not used
    } else if (closes()) {
      break;
    }
    if (stopped()) break;
  }
  // Also when the file ended inside a list: the part that was read keeps
  // normals for all its positions, so it can be welded like any other.
  finishMesh(mesh, state);
}

void ASELoader::readMappingChannel(ImportMesh& mesh) {
  int32_t channel = 0;  // every channel goes to the one second set
  scanInt(&channel);
  int32_t texVertexCount = 0, texFaceCount = 0;
  Block block(*this);
  for (;;) {
    if (!nextLine()) return;
    if (isKeyword("*MESH_NUMTVERTEX")) {
      scanInt(&texVertexCount);
    } else if (isKeyword("*MESH_TVERTLIST")) {
      readTexVertexList(mesh.texCoords2, texVertexCount);
    } else if (isKeyword("*MESH_NUMTVFACES")) {
      scanInt(&texFaceCount);
    } else if (isKeyword("*MESH_TFACELIST")) {
      readTexFaceList(mesh.texFaces2, texFaceCount);
    } else if (opensBlock()) {
      skipBlock();
    } else if (closes()) {
      return;
    }
    if (stopped()) return;
  }
}

void ASELoader::finishMesh(ImportMesh& mesh, ObjectState& state) {
  uint32_t corners = mesh.faces.count / 3 * 3;
  for (uint32_t j = 0; j < corners; ++j) {
    if (uint32_t(mesh.faces.items[j]) >= mesh.positions.count) {
      if (!state.rejection) state.rejection = "face index out of range";
      return;
    }
  }
  if (mesh.positions.count == 0) return;  // and so no faces either
  // Per-vertex normals: the unnormalised sum of the normals (twice the areas)
  // of every face that uses the position.
  uint32_t first = mesh.normals.count;
  mesh.normals.resize(first + mesh.positions.count, true);
  D3DXVECTOR3* sums = mesh.normals.items + first;
  std::memset(static_cast<void*>(sums), 0, sizeof(D3DXVECTOR3) * mesh.positions.count);
  for (uint32_t j = 0; j < corners; j += 3) {
    int32_t a = mesh.faces.items[j], b = mesh.faces.items[j + 1], c = mesh.faces.items[j + 2];
    D3DXVECTOR3 e1 = mesh.positions.items[b] - mesh.positions.items[a];
    D3DXVECTOR3 e2 = mesh.positions.items[c] - mesh.positions.items[a];
    D3DXVECTOR3 n(e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x);
    sums[a] += n;
    sums[b] += n;
    sums[c] += n;
  }
}

void ASELoader::refuse(const char* why) {
  if (unsupportedIsFatal) fatalError("%s", why);
  // Every reading loop ends at the end of the file.
  refusal = why;
  refusalLine = lineNumber;
  atEnd = true;
}

void ASELoader::readAnimation(SGMesh* node) {
  Block block(*this);
  for (;;) {
    if (!nextLine()) return;
    if (isKeyword("*CONTROL_POS_TCB")) {
      refuse("TCB controllers not supported, only sampled!");
    } else if (isKeyword("*CONTROL_POS_TRACK")) {
      readPositionTrack(node);
    } else if (isKeyword("*CONTROL_ROT_TCB")) {
      refuse("TCB controllers not supported, only sampled!");
    } else if (isKeyword("*CONTROL_ROT_TRACK")) {
      readRotationTrack(node);
    } else if (isKeyword("*CONTROL_SCALE_TCB")) {
      refuse("TCB controllers not supported, only sampled!");
    } else if (isKeyword("*CONTROL_SCALE_TRACK")) {
      readScaleTrack(node);
    } else if (opensBlock()) {
      skipBlock();
    } else if (closes()) {
      return;
    }
    if (stopped()) return;
  }
}

// A track cut short by the end of the file is finished all the same, so that
// its keys are ordered and its rotations built.

void ASELoader::readPositionTrack(SGMesh* node) {
  SGControllerV3* track = new SGControllerV3();
  Block block(*this);
  for (;;) {
    if (!nextLine()) break;
    if (isKeyword("*CONTROL_POS_SAMPLE")) {
      int32_t time = 0;
      float value[3] = {0, 0, 0};
      const char* p = ScanFormat::skipToken(line);
      if (p) p = ScanFormat::readInt(p, &time);
      for (int i = 0; i < 3 && p; ++i) p = ScanFormat::readFloat(p, &value[i]);
      SGKeyV3* key = track->addKey();
      key->time = time;
      key->value = swapped(value);
    } else if (opensBlock()) {
      skipBlock();
    } else if (closes()) {
      break;
    }
    if (stopped()) break;
  }
  track->sortKeys();
  node->setPositionTrack(track);
}

void ASELoader::readRotationTrack(SGMesh* node) {
  SGControllerQ4* track = new SGControllerQ4();
  Block block(*this);
  for (;;) {
    if (!nextLine()) break;
    if (isKeyword("*CONTROL_ROT_SAMPLE")) {
      int32_t time = 0;
      float values[4] = {0, 0, 0, 0};
      const char* p = ScanFormat::skipToken(line);
      if (p) p = ScanFormat::readInt(p, &time);
      for (int i = 0; i < 4 && p; ++i) p = ScanFormat::readFloat(p, &values[i]);
      SGKeyQ4* key = track->addKey();
      key->time = time;
      key->axis = swapped(values);
      key->angle = values[3];
    } else if (opensBlock()) {
      skipBlock();
    } else if (closes()) {
      break;
    }
    if (stopped()) break;
  }
  track->prepareRotationKeys();
  node->setRotationTrack(track);
}

void ASELoader::readScaleTrack(SGMesh* node) {
  SGControllerV3* scaleTrack = new SGControllerV3();
  SGControllerQ4* axisTrack = new SGControllerQ4();
  Block block(*this);
  for (;;) {
    if (!nextLine()) break;
    if (isKeyword("*CONTROL_SCALE_SAMPLE")) {
      int32_t time = 0;
      float values[7] = {0, 0, 0, 0, 0, 0, 0};
      const char* p = ScanFormat::skipToken(line);
      if (p) p = ScanFormat::readInt(p, &time);
      for (int i = 0; i < 7 && p; ++i) p = ScanFormat::readFloat(p, &values[i]);
      SGKeyV3* scaleKey = scaleTrack->addKey();
      scaleKey->time = time;
      scaleKey->value = swapped(values);
      SGKeyQ4* axisKey = axisTrack->addKey();
      axisKey->time = time;
      axisKey->axis = swapped(values + 3);
      axisKey->angle = values[6];
    } else if (opensBlock()) {
      skipBlock();
    } else if (closes()) {
      break;
    }
    if (stopped()) break;
  }
  scaleTrack->sortKeys();
  axisTrack->prepareRotationKeys();
  node->setScaleTrack(scaleTrack);
  node->setScaleAxisTrack(axisTrack);
}

// --- lists -------------------------------------------------------------------

// Reads one list line; false when the file has ended without giving one (a
// line cut short by the end of the file still counts).
bool ASELoader::listLine() {
  readLine();
  return !(atEnd && lineLength == 0);
}

void ASELoader::readVertexList(ImportMesh& mesh, int32_t count, const D3DXMATRIX& inverse) {
  Block block(*this);
  for (int32_t i = 0; i < count; ++i) {
    if (!listLine()) return;
    // A line whose scan fails gives zeros where it fails.
    float v[3] = {0, 0, 0};
    const char* p = ScanFormat::skipToken(line);
    if (p) p = ScanFormat::readInt(p, nullptr);
    for (int k = 0; k < 3 && p; ++k) p = ScanFormat::readFloat(p, &v[k]);
    D3DXVECTOR3 point = swapped(v);
    D3DXVec3TransformCoord(&point, &point, &inverse);
    mesh.positions.append(point);
    if (atEnd) return;
  }
  readLine();  // the list's closing line
  markClosed();
}

void ASELoader::readFaceList(ImportMesh& mesh, int32_t count) {
  Block block(*this);
  for (int32_t i = 0; i < count; ++i) {
    if (!listLine()) return;
    // The first "A:", "B:" and "C:" of the line; later fields such as "AB:"
    // and "CA:" come after them and do not count.
    const char* label[3] = {nullptr, nullptr, nullptr};
    findFaceLabels(line, lineLength, label);
    int32_t index[3] = {0, 0, 0};
    for (int k = 0; k < 3; ++k) {
      if (!label[k]) continue;
      const char* p = ScanFormat::skipToken(label[k]);  // the label itself
      if (p) ScanFormat::readInt(p, &index[k]);
    }
    mesh.faces.append(index[0]);
    mesh.faces.append(index[2]);
    mesh.faces.append(index[1]);
    // The exporter ends the line with the face's material id.
    int32_t materialId = 0;
    uint32_t star = lineLength;
    while (star > 0 && line[star - 1] != '*') --star;
    if (star > 0 && lineLength - star >= 10 && std::memcmp(line + star - 1, "*MESH_MTLID", 11) == 0)
      ScanFormat::readInt(line + star + 10, &materialId);
    mesh.faceMaterials.append(materialId);
    if (atEnd) return;
  }
  readLine();
  markClosed();
}

void ASELoader::readTexVertexList(Array<D3DXVECTOR2>& coords, int32_t count) {
  Block block(*this);
  for (int32_t i = 0; i < count; ++i) {
    if (!listLine()) return;
    float uv[2] = {0, 0};
    const char* p = ScanFormat::skipToken(line);
    if (p) p = ScanFormat::readInt(p, nullptr);
    for (int k = 0; k < 2 && p; ++k) p = ScanFormat::readFloat(p, &uv[k]);
    coords.append(D3DXVECTOR2(uv[0], uv[1]));
    if (atEnd) return;
  }
  readLine();
  markClosed();
}

void ASELoader::readTexFaceList(Array<int32_t>& texFaces, int32_t count) {
  Block block(*this);
  for (int32_t i = 0; i < count; ++i) {
    if (!listLine()) return;
    int32_t index[3] = {0, 0, 0};
    const char* p = ScanFormat::skipToken(line);
    if (p) p = ScanFormat::readInt(p, nullptr);
    for (int k = 0; k < 3 && p; ++k) p = ScanFormat::readInt(p, &index[k]);
    texFaces.append(index[0]);
    texFaces.append(index[2]);
    texFaces.append(index[1]);
    if (atEnd) return;
  }
  readLine();
  markClosed();
}

// --- attaching ---------------------------------------------------------------

void ASELoader::attachNode(SGMesh* node) {
  const char* parentName = node->getParentName();
  SGNode* parent = nullptr;
  if (*parentName) {
    for (uint32_t i = 0; i < nodes.count && !parent; ++i) parent = findNode(nodes.items[i], parentName);
  }
  if (parent) {
    parent->addChild(node);
  } else {
    nodes.append(node);
  }
}

SGNode* ASELoader::findNode(SGNode* node, const char* name) const {
  if (std::strcmp(node->getName(), name) == 0) return node;
  for (uint32_t i = 0; i < node->childCount(); ++i) {
    if (SGNode* found = findNode(node->childAt(i), name)) return found;
  }
  return nullptr;
}
