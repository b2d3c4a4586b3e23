#pragma once
// Reads one ASCII scene export (ASE) into mesh nodes and material records.
// The reader is line-oriented and keyword-driven: a construct is recognised by
// the first token of its line, values come from the same line with fixed scan
// formats, and blocks it does not know are skipped by counting braces per
// line. Lists read exactly as many lines as their count says.
//
// Lines end at CR LF, LF or CR (CR LF is one line end); a line longer than
// 1000 characters is read as several. Vectors from the file are stored with
// their second and third components exchanged, triangle corners in the order
// first, third, second.

#include <cstdint>
#include <cstdio>

#include "engine/Array.h"
#include "platform/d3dx/d3dx9math.h"

class SGMesh;
class SGNode;
class ImportMesh;

// One material of the scene file's material list, or one sub-material of a
// multi-material (faces pick theirs by *MESH_MTLID).
class ASEMaterial {
 public:
  ASEMaterial();
  ~ASEMaterial();
  ASEMaterial(const ASEMaterial&) = delete;
  ASEMaterial& operator=(const ASEMaterial&) = delete;

  // The text of the diffuse map's *BITMAP line as written (a full path as the
  // exporter wrote it); empty when the material has none.
  const char* getBitmap() const { return bitmap.count ? bitmap.items : ""; }
  void setBitmap(const char* text);
  // The *MATERIAL_NAME text; empty when the file gives none.
  const char* getName() const { return name.count ? name.items : ""; }
  void setName(const char* text);

  // Colours the file does not give stay black, a missing shine 0.
  Array<char> bitmap;
  Array<char> name;
  float ambient[3];
  float diffuse[3];
  float specular[3];  // scaled by the clamped shine strength
  float shine;
  // Owned, in file order; empty for a plain material. Nested no deeper than
  // maxMaterialDepth (deeper blocks are skipped).
  Array<ASEMaterial*> subMaterials;

  static void* operator new(size_t size) noexcept;
  static void operator delete(void* pointer) noexcept;
};

class ASELoader {
 public:
  ASELoader();
  ASELoader(const ASELoader&) = delete;
  ASELoader& operator=(const ASELoader&) = delete;
  // Deletes the materials; the nodes belong to whoever took them.
  ~ASELoader();

  // False, with nothing done, when the file cannot be opened. Otherwise reads
  // the whole file and returns true: unknown or malformed lines are ignored,
  // and what was read before an early end of the file is kept. An object whose
  // mesh cannot be used (an index outside its array, more vertices than
  // 16-bit indices reach, a node transform without an inverse) is left out,
  // with a log line naming it. TCB controllers end the process, unless
  // unsupportedIsFatal is off: then reading stops there, what was read is
  // dropped, refusal says why and load returns false. A UTF-16 file (with its
  // byte-order mark) reads as its 8-bit twin, characters above U+00FF as '?';
  // a UTF-8 mark is skipped (openASEText).
  //
  // A damaged file is read as far as it can be, and the damage logged: a
  // block still open where a top-level object (*GEOMOBJECT, *MATERIAL_LIST,
  // ...) begins is taken as closed there, and reading goes on with that
  // object; a file that ends inside blocks names them and the lines where
  // they opened. The first such note stays in damage.
  bool load(const char* fileName);

  bool unsupportedIsFatal = true;
  const char* refusal = nullptr;
  uint32_t refusalLine = 0;  // the line that refusal is about
  char damage[192] = "";
  // Objects left out (each with its log line) and objects read.
  uint32_t skippedObjects = 0;
  uint32_t objectsRead = 0;
  bool sawHeader = false;  // a *3DSMAX_ASCIIEXPORT line

  // Replace the output list's contents with the reader's root nodes (in file
  // order) or materials. Materials stay valid while the reader lives.
  void getNodes(Array<SGMesh*>& out) const;
  void getMaterials(Array<ASEMaterial*>& out) const;

  int32_t version = 0;
  int32_t firstFrame = 0;
  int32_t lastFrame = 0;
  int32_t frameSpeed = 0;
  int32_t ticksPerFrame = 0;

  static constexpr uint32_t maxLineLength = 1000;
  static constexpr uint32_t maxMaterialDepth = 4;

 private:
  struct ObjectState;
  // Tracks the block whose opening line is the current one for as long as
  // it is read.
  class Block {
   public:
    explicit Block(ASELoader& reader) : reader(reader) { reader.openBlock(); }
    ~Block() { reader.closeBlock(); }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

   private:
    ASELoader& reader;
  };
  // A block being read: its keyword and the line that opened it.
  struct OpenBlock {
    char keyword[24];
    uint32_t line;
    bool closed;
  };
  static constexpr uint32_t maxTrackedBlocks = 16;

  // Line input.
  bool refill();
  void readLine();
  // readLine for a block's own lines: false, with the line kept for the top
  // level, when it begins a top-level object (the open blocks were never
  // closed).
  bool nextLine();
  bool startsObject();
  bool stopped() const { return atEnd || resync; }
  bool closes();
  void markClosed();
  void openBlock();
  void closeBlock();
  void describeOpenBlocks(char* out, size_t size) const;
  void noteDamage(const char* text);
  bool readLineInBlock();
  void finishLine(uint32_t length, bool ended);
  template <size_t N>
  bool isKeyword(const char (&keyword)[N]) {
    findToken();
    return tokenLength == N - 1 && __builtin_memcmp(line + tokenStart, keyword, N - 1) == 0;
  }
  void findToken();
  bool opensBlock() const;
  bool endsBlock();
  const char* quotedText();
  void skipBlock();
  // Values after the line's first token ("%*s %d", "%*s %f %f ...").
  void scanInt(int32_t* value) const;
  void scanFloats(float* values, int count) const;

  // Contexts.
  void readTopLevel();
  void readScene();
  void readMaterialList();
  void readMaterial(ASEMaterial* material, uint32_t depth);
  void readMapDiffuse(ASEMaterial* material);
  void readGeomObject();
  void readNodeTM(SGMesh* node);
  void readMesh(SGMesh* node, ObjectState& state);
  void readMappingChannel(ImportMesh& mesh);
  void finishMesh(ImportMesh& mesh, ObjectState& state);
  void readAnimation(SGMesh* node);
  void refuse(const char* why);
  void readPositionTrack(SGMesh* node);
  void readRotationTrack(SGMesh* node);
  void readScaleTrack(SGMesh* node);

  // Lists: count lines, then the closing line, none of them examined.
  bool listLine();
  void readVertexList(ImportMesh& mesh, int32_t count, const D3DXMATRIX& inverse);
  void readFaceList(ImportMesh& mesh, int32_t count);
  void readTexVertexList(Array<D3DXVECTOR2>& coords, int32_t count);
  void readTexFaceList(Array<int32_t>& texFaces, int32_t count);

  void attachNode(SGMesh* node);
  SGNode* findNode(SGNode* node, const char* name) const;

  FILE* file = nullptr;
  // The current line, NUL-terminated: in place in the block when it lies
  // within it (the byte after it is patched to NUL until the next line is
  // read), else copied into lineBuffer.
  const char* line = "";
  char lineBuffer[1024];
  char* patched = nullptr;
  char patchedByte = 0;
  uint32_t lineLength = 0;
  uint32_t tokenStart = 0;
  uint32_t tokenLength = 0;
  bool tokenFound = false;  // list lines never need their token
  char quoted[512];
  Array<SGMesh*> nodes;
  Array<ASEMaterial*> materials;

  // The file is read in large blocks; lines are cut from the block.
  char* block = nullptr;
  uint32_t blockSize = 0;
  uint32_t blockPos = 0;
  uint32_t blockFill = 0;
  bool atEnd = false;    // a read found the end of the file
  bool afterCR = false;  // the last line ended with CR: a LF next belongs to it

  // Where reading stands, for the notes on damaged files.
  uint32_t lineNumber = 0;
  bool lineEnded = true;  // the last line had its line end (a long line is cut)
  OpenBlock open[maxTrackedBlocks];
  uint32_t openDepth = 0;
  bool resync = false;  // the current line begins a top-level object met inside a block
};
