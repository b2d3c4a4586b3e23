#include <gtest/gtest.h>

#include "engine/assets/SGNode.h"
#include "engine/scene/SGControllerV3.h"
#include "engine/scene/SGMesh.h"

namespace {

int destroyed = 0;

class CountedNode : public SGNode {
 public:
  explicit CountedNode(const char* n) { setName(n); }
  ~CountedNode() override { ++destroyed; }
  void animate(int32_t) override {}
};

}  // namespace

TEST(SGNode, ChildrenGoWithTheirParentAndRemovalDoesNotDelete) {
  destroyed = 0;
  CountedNode* a = new CountedNode("a");
  {
    CountedNode root("root");
    root.addChild(a);
    root.addChild(nullptr);  // ignored
    CountedNode* b = new CountedNode("b");
    b->addChild(new CountedNode("b1"));
    root.addChild(b);
    ASSERT_EQ(root.childCount(), 2u);
    EXPECT_EQ(root.childAt(2), nullptr);
    root.removeChild(2);  // out of range: nothing
    root.removeChild(0);
    ASSERT_EQ(root.childCount(), 1u);
    EXPECT_STREQ(root.childAt(0)->getName(), "b");
    EXPECT_EQ(destroyed, 0);
  }
  // Root, b and b's child went with the root; a was taken out first.
  EXPECT_EQ(destroyed, 3);
  delete a;
}

TEST(SGMesh, WorldMatrixIsTheNodeTransformUntilTheNodeHasATrack) {
  D3DXVECTOR3 position(1, 2, 3), scale(2, 1, 0.5f), axis(0, 1, 0), scaleAxis(1, 0, 0);
  D3DXQUATERNION rotation, scaleRotation;
  D3DXQuaternionRotationAxis(&rotation, &axis, 0.8f);
  D3DXQuaternionRotationAxis(&scaleRotation, &scaleAxis, 0.3f);
  SGMesh node;
  node.setPosition(position);
  node.setScale(scale);
  node.setRotation(rotation);
  node.setScaleAxisRotation(scaleRotation);
  D3DXMATRIX composed = SGMesh::composeTransform(position, scale, scaleRotation, rotation);
  node.setTransform(&composed);

  // Without tracks the parts play no part. (The composition itself is held
  // against the station generator's matrix rows in StationSceneTest.)
  node.setPosition(D3DXVECTOR3(100, 100, 100));
  EXPECT_EQ(node.worldMatrix(), composed);

  // A position track alone switches to the composition of the parts.
  node.setPosition(position);
  SGControllerV3* track = new SGControllerV3();
  SGKeyV3* key = track->addKey();
  key->time = 0;
  key->value = D3DXVECTOR3(-4, 5, 6);
  node.setPositionTrack(track);
  const D3DXMATRIX world = node.worldMatrix();
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(world.m[r][c], composed.m[r][c], 1e-5f) << "element " << r + 1 << c + 1;
  node.animate(50);
  EXPECT_EQ(node.getPosition(), D3DXVECTOR3(-4, 5, 6));
  EXPECT_EQ(node.worldMatrix()._41, -4.0f);
  EXPECT_EQ(node.getScale(), scale);  // no scale track: left alone
}
