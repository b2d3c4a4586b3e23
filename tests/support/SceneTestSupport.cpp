#include "support/SceneTestSupport.h"

#include <stb_image_write.h>

#include <cstdlib>
#include <map>

#include "engine/files/FileManager.h"
#include "engine/scene/BuiltInShaderTable.h"
#include "platform/d3dx/d3dx9shader.h"
#include "support/ViewedScenes.h"

namespace {

FileManagerOS testFiles;

std::string whiteJpeg() {
  std::vector<uint8_t> rgb(16 * 16 * 3, 255);
  std::string out;
  stbi_write_jpg_to_func(
      [](void* context, void* data, int size) { static_cast<std::string*>(context)->append(static_cast<char*>(data), size_t(size)); },
      &out, 16, 16, 3, rgb.data(), 95);
  return out;
}

// Register -> name of one constant table.
std::map<UINT, std::string> registerNames(ID3DXConstantTable* table) {
  std::map<UINT, std::string> names;
  if (!table) return names;
  D3DXCONSTANTTABLE_DESC desc;
  table->GetDesc(&desc);
  for (UINT i = 0; i < desc.Constants; ++i) {
    D3DXCONSTANT_DESC constant;
    UINT count = 1;
    table->GetConstantDesc(table->GetConstant(nullptr, i), &constant, &count);
    if (constant.RegisterSet == D3DXRS_FLOAT4) names[constant.RegisterIndex] = constant.Name;
  }
  return names;
}

}  // namespace

void writeTestScene(const std::string& file, const std::string& slide) {
  stationgen::Scene scene;
  stationgen::Material floor = viewed::material({0.6, 0.6, 0.6}), box = floor;
  floor.name = "Floor";
  box.name = "Box";
  scene.materials = {floor, box};
  // Modelling frame: Z up; the reader swaps Y and Z.
  stationgen::SceneObject boxObject = viewed::block("Box", {}, {25, 25, 50}, 1);
  boxObject.transform.position = {125, 0, 50};
  scene.objects = {viewed::block("Floor", {0, 0, -5}, {1000, 1000, 5}), boxObject};
  TestDir::write(file, viewed::exportText(scene));
  TestDir::write(slide, whiteJpeg());
}

std::vector<std::string> constantWrites(int shader, size_t from) {
  const ShaderRecord& record = getRenderDevice()->shaders[uint32_t(shader)];
  std::map<UINT, std::string> vs = registerNames(record.vertexConstants);
  std::map<UINT, std::string> ps = registerNames(record.pixelConstants);
  std::vector<std::string> names;
  for (size_t i = from; i < recordingLog().size(); ++i) {
    const RecordingCall& call = recordingLog().calls()[i];
    bool vertex = call.method == "SetVertexShaderConstantF";
    if (!vertex && call.method != "SetPixelShaderConstantF") continue;
    UINT reg = UINT(std::strtoul(call.text.c_str() + call.text.find('(') + 1, nullptr, 10));
    const std::map<UINT, std::string>& table = vertex ? vs : ps;
    auto found = table.find(reg);
    names.push_back(std::string(vertex ? "vs:" : "ps:") + (found == table.end() ? "?" : found->second));
  }
  return names;
}

std::vector<float> constantValue(int shader, const char* name, bool pixel) {
  const ShaderRecord& record = getRenderDevice()->shaders[uint32_t(shader)];
  ID3DXConstantTable* table = pixel ? record.pixelConstants : record.vertexConstants;
  std::vector<float> values;
  D3DXHANDLE handle = table ? table->GetConstantByName(nullptr, name) : nullptr;
  if (!handle) return values;
  D3DXCONSTANT_DESC desc;
  UINT count = 1;
  table->GetConstantDesc(handle, &desc, &count);
  for (UINT r = 0; r < desc.RegisterCount; ++r) {
    const float* reg = pixel ? recordingDevice()->pixelConstant(desc.RegisterIndex + r)
                             : recordingDevice()->vertexConstant(desc.RegisterIndex + r);
    values.insert(values.end(), reg, reg + 4);
  }
  return values;
}

void SceneDeviceTest::SetUp() {
  recordingReset();
  recordingSelect();
  resetRenderDevice();
  logOpen();
  testFiles.setRoot("");
  RenderDeviceDX9* device = getRenderDevice();
  device->fileManager = &testFiles;
  device->init(reinterpret_cast<HWND>(uintptr_t(0x1000)), DisplayMode{800, 600, 32, 60},
               DeviceSettings{false, false, 0, 1, 4.0f / 3.0f}, BUFFER_COLOR | BUFFER_DEPTH | BUFFER_STENCIL,
               compileBuiltInShaders);
}

void SceneDeviceTest::TearDown() {
  getRenderDevice()->shutdown();
  EXPECT_EQ(recordingLiveObjects(), 0) << recordingLiveObjectList();
  resetRenderDevice();
}
