// Buffers, the stream and declaration cache, draw calls and draws.

#include "RenderTestSupport.h"

namespace {

VertexBuffer* makeVertices(int count, uint32_t format = VERTEXFORMAT_MESH) {
  VertexBuffer* vb = TRACKED_NEW(VertexBuffer);
  vb->create(count, format, false);
  std::vector<uint8_t> bytes(size_t(count) * vertexSize(format), 0);
  vb->upload(bytes.data());
  return vb;
}

IndexBuffer* makeIndices(int count, int vertexCount) {
  IndexBuffer* ib = TRACKED_NEW(IndexBuffer);
  ib->create(count, false, false);
  std::vector<uint16_t> indices(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) indices[size_t(i)] = uint16_t(i % vertexCount);
  ib->upload(indices.data());
  return ib;
}

std::string declarationOf(uint32_t format) {
  return "SetVertexDeclaration(" + recordingName(getRenderDevice()->declaration(format)) + ")";
}

}  // namespace

TEST_F(RenderDeviceTest, StreamAndDeclarationAreSentOnlyWhenTheyChange) {
  RenderDeviceDX9* d = initDevice();
  VertexBuffer* mesh = makeVertices(3);
  VertexBuffer* colored = makeVertices(3, VERTEXFORMAT_COLORED);
  size_t from = calls().size();

  mesh->bind();
  mesh->bind();
  // Same buffer, other format: the stream check returns before the declaration.
  d->setVertexStream(mesh->handle, VERTEXFORMAT_COLORED, 36);
  d->SetVertexDecl(VERTEXFORMAT_MESH);
  EXPECT_EQ(calls().texts(from), (std::vector<std::string>{"SetStreamSource(0, " + recordingName(mesh->handle) + ", 0, 60)",
                                                            declarationOf(VERTEXFORMAT_MESH)}));

  // An unknown code sends nothing but is remembered, so the next known one is sent.
  from = calls().size();
  d->SetVertexDecl(0x999);
  d->SetVertexDecl(VERTEXFORMAT_MESH);
  colored->bind();
  EXPECT_EQ(calls().texts(from),
            (std::vector<std::string>{declarationOf(VERTEXFORMAT_MESH),
                                      "SetStreamSource(0, " + recordingName(colored->handle) + ", 0, 36)",
                                      declarationOf(VERTEXFORMAT_COLORED)}));

  // The user-pointer draw unbinds stream 0 and forgets the declaration.
  float quad[4 * 6] = {};
  d->beginScene();
  d->SetVertexDecl(VERTEXFORMAT_SCREEN);
  d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 24);
  EXPECT_EQ(recorded()->streamSource(0), nullptr);
  from = calls().size();
  d->SetVertexDecl(VERTEXFORMAT_SCREEN);
  colored->bind();
  EXPECT_EQ(calls().texts(from),
            (std::vector<std::string>{declarationOf(VERTEXFORMAT_SCREEN),
                                      "SetStreamSource(0, " + recordingName(colored->handle) + ", 0, 36)",
                                      declarationOf(VERTEXFORMAT_COLORED)}));
  d->endScene();

  DrawCall meshCall(mesh, D3DPT_TRIANGLELIST, 0);
  DrawCall coloredCall(colored, D3DPT_TRIANGLELIST, 0);
  meshCall.release();
  coloredCall.release();
}

TEST_F(RenderDeviceTest, DrawCallsCountPrimitivesFromTheirBuffers) {
  initDevice();
  VertexBuffer* vb = makeVertices(30);
  IndexBuffer* ib = makeIndices(36, 30);

  EXPECT_EQ(DrawCall(vb, D3DPT_TRIANGLELIST, 0).primitiveCount, 10);
  EXPECT_EQ(DrawCall(vb, ib, D3DPT_TRIANGLELIST, 0, 0, 0).primitiveCount, 12);
  // Only triangle lists count indices; the others count vertices, indexed or not.
  EXPECT_EQ(DrawCall(vb, ib, D3DPT_LINELIST, 0, 0, 0).primitiveCount, 15);
  EXPECT_EQ(DrawCall(vb, D3DPT_LINESTRIP, 0).primitiveCount, 29);
  EXPECT_EQ(DrawCall(vb, D3DPT_TRIANGLESTRIP, 0).primitiveCount, 28);
  EXPECT_EQ(DrawCall(vb, ib, D3DPT_TRIANGLEFAN, 0, 0, 0).primitiveCount, 28);
  EXPECT_EQ(DrawCall(vb, D3DPT_POINTLIST, 0).primitiveCount, 30);

  DrawCall indexed(vb, ib, D3DPT_TRIANGLELIST, 0, 0, 0);
  DrawCall plain(vb, D3DPT_TRIANGLELIST, 0);
  getRenderDevice()->beginScene();
  size_t from = calls().size();
  getRenderDevice()->draw(&indexed);
  getRenderDevice()->draw(&plain);
  getRenderDevice()->endScene();
  // The index buffer has no cache: it is set for every draw.
  EXPECT_EQ(calls().textsOf("SetIndices", from).size(), 1u);
  EXPECT_EQ(calls().textsOf("DrawIndexedPrimitive", from),
            std::vector<std::string>{"DrawIndexedPrimitive(4, 0, 0, 30, 0, 12)"});
  EXPECT_EQ(calls().textsOf("DrawPrimitive", from), std::vector<std::string>{"DrawPrimitive(4, 0, 10)"});
  EXPECT_EQ(recorded()->drawCount(), 2);
  // A frame's totals span its scenes (the scene pass, the post-processing)
  // until it is presented; each scene's own counts start afresh.
  getRenderDevice()->beginScene();
  getRenderDevice()->draw(&plain);
  EXPECT_EQ(getRenderDevice()->frameCounts().draws, 1);
  EXPECT_EQ(std::make_pair(getRenderDevice()->frameTotals().draws, getRenderDevice()->frameTotals().triangles),
            std::make_pair(3, 32));
  getRenderDevice()->endScene();
  EXPECT_EQ(getRenderDevice()->frameTotals().draws, 3);
  getRenderDevice()->present();
  EXPECT_EQ(getRenderDevice()->frameTotals().draws, 0);

  // release gives both device buffers back (the shutdown leak check sees
  // it) and deletes the wrappers; the destructor only resets the fields.
  indexed.release();
  EXPECT_EQ(indexed.vertexBuffer, nullptr);
  EXPECT_EQ(indexed.indexBuffer, nullptr);
}

TEST_F(RenderDeathTest, DeviceFailuresOnBuffersAndDrawsAreFatal) {
  initDevice();
  RenderDeviceDX9* d = device();
  recordingFailCall("CreateVertexBuffer");
  EXPECT_FATAL(d->createVertexBuffer(60, VERTEXFORMAT_MESH, false), "error: RenderDeviceDX9::createVertexBuffer failed!");
  recordingClearFailures();
  // A buffer too small for one vertex is refused by Direct3D (an empty mesh).
  EXPECT_FATAL(d->createVertexBuffer(0, VERTEXFORMAT_MESH, false), "error: RenderDeviceDX9::createVertexBuffer failed!");
  IDirect3DVertexBuffer9* vb = d->createVertexBuffer(60, VERTEXFORMAT_MESH, false);
  recordingFailCall("VertexBuffer.Lock");
  EXPECT_FATAL(d->lockVertexBuffer(vb, 0, 0, 0), "error: RenderDeviceDX9::lockVertexBuffer: Locking failed!");
  recordingClearFailures();
  // Drawing outside a scene is an invalid call.
  float quad[24] = {};
  EXPECT_FATAL(d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 24), "error: RenderDeviceDX9::DrawPrimitiveUP failed!");
  d->releaseBuffer(vb);
  resetRenderDevice();
  recordingFailCall("CreateIndexBuffer", E_FAIL, 1);  // the dynamic one, first of init
  EXPECT_FATAL(initDevice(), "error: RenderDeviceDX9::initDynamicBuffers: CreateIndexBuffer failed!");
  recordingClearFailures();
}
