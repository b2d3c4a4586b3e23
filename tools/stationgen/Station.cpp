// Model sheet of Station 03. Units are metres-ish, Z is up, the station's
// long axis is Z and everything fits within about 500 units of the origin.
//
//   z  465  beacon                      (pulsing: scale track)
//      450  sweeping antenna            (rotation track)
//      330  main truss along Y, solar wings at y = +-300 and +-420,
//           main dish above it, radiators hanging below it
//      150  upper node with four pressurised modules (+X lab, -X habitat,
//           +Y storage, -Y airlock)
//        0  hub, habitat ring A (R 350) on six spokes   (turning)
//     -125  four propellant tanks
//     -170  habitat ring B (R 235) on four spokes        (turning the other way)
//     -235  cargo modules (+-Y), lower radiator fins (+-X)
//     -300  lower node, three docking arms, axial port; a shuttle closing on
//           arm 1                                        (position track)
//
// Tiers are far enough apart that each casts a clear shadow on the ones
// below it from the circling spot light.

#include "tools/stationgen/Station.h"

#include <cmath>
#include <string>

#include "tools/stationgen/Primitives.h"

namespace stationgen {

namespace {

enum MaterialIndex {
  kHullWhite,
  kHullGrey,
  kTruss,
  kSolar,
  kRadiator,
  kFoil,
  kReflector,
  kCoreMulti,
  kDarkMetal,
  kShuttleMulti,
};

// Sub-material numbers of the two multi-materials.
enum { kCoreHull = 0, kCoreWindows = 1, kCoreTrim = 2 };
enum { kShuttleTiles = 0, kShuttleBlack = 1 };

const char* const kMaps = "D:\\Projects\\Station03\\maps\\";

Material standard(const std::string& name, Colour diffuse, const std::string& map, double shine = 0.25,
                  double strength = 0.1) {
  Material m;
  m.name = name;
  m.diffuse = diffuse;
  m.ambient = {diffuse.r * 0.35, diffuse.g * 0.35, diffuse.b * 0.35};
  m.specular = {0.9, 0.9, 0.9};
  m.shine = shine;
  m.shineStrength = strength;
  if (!map.empty()) m.bitmap = kMaps + map;
  return m;
}

std::vector<Material> materials() {
  std::vector<Material> list;
  list.push_back(standard("Hull_White", {0.88, 0.87, 0.84}, "hull_panels_white.jpg"));
  list.push_back(standard("Hull_Grey", {0.55, 0.56, 0.58}, "hull_panels_grey.jpg"));
  list.push_back(standard("Truss_Alu", {0.70, 0.70, 0.72}, "truss_aluminium.jpg", 0.4, 0.5));
  list.push_back(standard("Solar_Cells", {0.12, 0.16, 0.42}, "solar_cells.jpg", 0.6, 0.9));
  list.push_back(standard("Radiator_Panels", {0.92, 0.93, 0.95}, "radiator_panels.jpg", 0.3, 0.2));
  list.push_back(standard("Foil_Gold", {0.83, 0.63, 0.24}, "mli_gold_foil.jpg", 0.7, 1.4));
  list.push_back(standard("Dish_Reflector", {0.80, 0.80, 0.78}, "dish_mesh.jpg", 0.2, 0.3));

  Material core = standard("Core_Multi", {0.88, 0.87, 0.84}, "");
  core.submaterials = {standard("Core_Hull", {0.88, 0.87, 0.84}, "hull_panels_white.jpg"),
                       standard("Core_Windows", {0.20, 0.25, 0.30}, "windows_lit.jpg", 0.8, 1.0),
                       standard("Core_Trim", {0.30, 0.30, 0.32}, "dark_metal.jpg")};
  list.push_back(core);
  list.push_back(standard("Dark_Metal", {0.30, 0.30, 0.32}, "dark_metal.jpg", 0.35, 0.4));

  Material shuttle = standard("Shuttle_Multi", {0.90, 0.90, 0.90}, "");
  shuttle.submaterials = {standard("Shuttle_Tiles", {0.90, 0.90, 0.90}, "shuttle_tiles.jpg"),
                          standard("Shuttle_Black_Tiles", {0.08, 0.08, 0.09}, "shuttle_tiles_black.jpg")};
  list.push_back(shuttle);
  return list;
}

// ---------------------------------------------------------------------------
// Placement helpers.

Mat3 rot(const Vec3& axis, double deg) { return Mat3::rotation(axis, degrees(deg)); }

NodeTransform node(const Vec3& position, const Mat3& rotation = Mat3{}, const Vec3& scale = {1, 1, 1}) {
  NodeTransform t;
  t.position = position;
  axisAngle(rotation, t.axis, t.angle);
  t.scale = scale;
  return t;
}

Xform place(const Vec3& p, const Mat3& r = Mat3{}) { return Xform::frame(r, p); }

const Vec3 kX{1, 0, 0}, kY{0, 1, 0}, kZ{0, 0, 1};

// Sampling of the animation tracks: every 5 frames over the scene's range.
constexpr int kFrameStep = 5;

class Sheet {
 public:
  explicit Sheet(Scene& scene) : scene(scene) {}

  void group(const std::string& path) { current = path; }

  SceneObject& add(const std::string& name, int material, const NodeTransform& tm, EditMesh mesh) {
    SceneObject obj;
    obj.name = name;
    obj.group = current;
    obj.material = material;
    obj.transform = tm;
    obj.mesh = std::move(mesh);
    scene.objects.push_back(std::move(obj));
    return scene.objects.back();
  }

  // Frames at which tracks are sampled, first to last.
  std::vector<int> frames() const {
    std::vector<int> f;
    for (int i = scene.firstFrame; i <= scene.lastFrame; i += kFrameStep) f.push_back(i);
    return f;
  }
  int tick(int frame) const { return frame * scene.ticksPerFrame; }
  double phase(int frame) const {
    return static_cast<double>(frame - scene.firstFrame) / (scene.lastFrame - scene.firstFrame);
  }

  // Rotation about a fixed axis, `degreesAt` giving the angle at a phase 0..1.
  template <typename AngleFn>
  std::vector<RotationKey> turning(const Vec3& axis, AngleFn degreesAt) const {
    std::vector<RotationKey> keys;
    double previous = 0;
    bool first = true;
    for (int f : frames()) {
      double a = degreesAt(phase(f));
      keys.push_back({tick(f), axis, degrees(first ? a : a - previous)});
      previous = a;
      first = false;
    }
    return keys;
  }

 private:
  Scene& scene;
  std::string current;
};

// ---------------------------------------------------------------------------
// Reusable assemblies, each in its own local frame.

// A pressurised module along local +Z from 0 (its berthing end) to `length`.
EditMesh pressurisedModule(double radius, double length, int ribs) {
  EditMesh m;
  double port = std::min(14.0, radius * 0.6);
  double shoulder = std::max(port + 2.0, radius * 0.72);
  lathe(m, Xform{},
        {{0, 0},
         {port, 0, true},
         {port, 6, true},
         {shoulder, 12, true},
         {radius, 22, true},
         {radius, length - 22, true},
         {shoulder, length - 12, true},
         {port, length - 6, true},
         {port, length, true},
         {0, length}},
        32, 0);
  for (int k = 1; k <= ribs; ++k) {
    double z = 22 + (length - 44) * k / (ribs + 1);
    flange(m, Xform{}, radius - 1, radius + 2.2, z - 2.2, z + 2.2, 32, 0);
  }
  flange(m, Xform{}, port - 1, port + 3, length - 3, length, 24, 0);
  return m;
}

// A docking port along local +Z: collar, tunnel, capture ring and three guide petals.
EditMesh dockingPort() {
  EditMesh m;
  lathe(m, Xform{},
        {{0, 0}, {15, 0, true}, {15, 8, true}, {21, 8, true}, {21, 13, true}, {17, 13, true}, {17, 20, true}, {0, 20}},
        32, 0);
  for (int k = 0; k < 3; ++k) {
    double a = degrees(120.0 * k + 30);
    Mat3 r = rot(kZ, 120.0 * k + 30) * rot(kY, -20);
    box(m, place({16 * std::cos(a), 16 * std::sin(a), 25}, r), {1.2, 5, 6}, 0);
  }
  return m;
}

// ---------------------------------------------------------------------------
// The station, tier by tier.

// Radius of the hub's cylindrical belt, which the ring A spokes grip.
constexpr double kHubRadius = 66;

void core(Sheet& sheet) {
  sheet.group("Station03/Core");
  {
    EditMesh m;
    const double r = kHubRadius;
    lathe(m, Xform{},
          {{0, -95},
           {24, -95, true},
           {24, -84, true},
           {r * 0.78, -68, true},
           {r, -52, true},
           {r, 52, true},
           {r * 0.78, 68, true},
           {24, 84, true},
           {24, 95, true},
           {0, 95}},
          48, kCoreHull);
    for (double z : {-44.0, -24.0, 24.0, 44.0}) flange(m, Xform{}, r - 2, r + 4.5, z - 3, z + 3, 48, kCoreTrim);
    for (int k = 0; k < 24; ++k) {
      double a = 360.0 * k / 24 + 7.5;
      Vec3 at{(r + 0.6) * std::cos(degrees(a)), (r + 0.6) * std::sin(degrees(a)), 34};
      box(m, place(at, rot(kZ, a)), {1.4, 4.2, 6.5}, kCoreWindows);
    }
    m.projectSecondChannel(200);
    sheet.add("Hub_Core", kCoreMulti, node({0, 0, 0}), std::move(m));
  }
  // Spine: square trusses up to the main truss and down to the lower node.
  {
    EditMesh a, b, c, d;
    truss(a, Xform{}, 120, 26, 5, 2.6, 0);
    truss(b, Xform{}, 115, 26, 5, 2.6, 0);
    truss(c, Xform{}, 100, 26, 4, 2.6, 0);
    truss(d, Xform{}, 105, 26, 4, 2.6, 0);
    sheet.add("Spine_Upper_A", kTruss, node({0, 0, 95}, rot(kY, -90)), std::move(a));
    sheet.add("Spine_Upper_B", kTruss, node({0, 0, 215}, rot(kY, -90)), std::move(b));
    sheet.add("Spine_Lower_A", kTruss, node({0, 0, -95}, rot(kY, 90)), std::move(c));
    sheet.add("Spine_Lower_B", kTruss, node({0, 0, -195}, rot(kY, 90)), std::move(d));
  }
  // Attitude thruster quads on the hub's upper shoulder.
  for (int k = 0; k < 4; ++k) {
    EditMesh m;
    box(m, Xform{}, {5, 7, 7}, 0);
    for (int j = 0; j < 4; ++j) {
      // Nozzles point up, down and to either side along the hull.
      static const Vec3 dirs[4] = {{0, 0, 1}, {0, 0, -1}, {0, 1, 0}, {0, -1, 0}};
      Vec3 base = dirs[j] * 6.5;
      lathe(m, place(base, Mat3::alongZ(dirs[j])), {{0, 0}, {1.8, 0, true}, {3.6, 6, true}, {0, 6}}, 12, 0);
    }
    double a = 90.0 * k + 45;
    sheet.add("RCS_Quad_" + std::to_string(k + 1), kDarkMetal,
              node({61 * std::cos(degrees(a)), 61 * std::sin(degrees(a)), 60}, rot(kZ, a)), std::move(m));
  }
}

void modules(Sheet& sheet) {
  sheet.group("Station03/Modules");
  {
    EditMesh m;
    lathe(m, Xform{}, {{0, -30}, {22, -30, true}, {32, -20, true}, {32, 20, true}, {22, 30, true}, {0, 30}}, 32, 0);
    for (const Vec3& dir : {kX, -kX, kY, -kY}) rod(m, {0, 0, 0}, dir * 38, 16, 24, 0);
    m.projectSecondChannel(200);
    sheet.add("Node_Upper", kHullWhite, node({0, 0, 150}), std::move(m));
  }
  struct ModuleSpec {
    const char* name;
    Vec3 dir;
    double radius, length;
    int ribs, material;
  };
  const ModuleSpec specs[] = {
      {"Module_Lab", kX, 26, 150, 5, kHullWhite},
      {"Module_Hab", -kX, 30, 175, 6, kHullWhite},
      {"Module_Storage", kY, 24, 110, 3, kFoil},
      {"Module_Airlock", -kY, 18, 70, 2, kHullGrey},
  };
  for (const ModuleSpec& s : specs) {
    EditMesh m = pressurisedModule(s.radius, s.length, s.ribs);
    m.projectSecondChannel(150);
    sheet.add(s.name, s.material, node(s.dir * 38 + Vec3{0, 0, 150}, Mat3::alongZ(s.dir)), std::move(m));
  }
  {
    // Radiator raised on posts over the lab, high enough to shade it.
    EditMesh m;
    tiledPanel(m, Xform{}, 100, 36, 1.5, 8, 2, 1.5, 0, 0);
    for (double x : {-40.0, 40.0}) rod(m, {x, 0, -1}, {x, 0, -40}, 1.6, 8, 0);
    sheet.add("Module_Lab_Radiator", kRadiator, node({114, 0, 217}), std::move(m));
  }
  {
    // Observation cupola under the habitat module: a faceted dome.
    EditMesh m;
    lathe(m, Xform{}, {{0, 0}, {16, 0, true}, {16, 6, true}, {13, 12, true}, {7, 16, true}, {0, 17}}, 7, 0, true);
    sheet.add("Module_Cupola", kHullGrey, node({-120, 0, 122}, rot(kX, 180)), std::move(m));
  }
  for (int side : {1, -1}) {
    EditMesh m = pressurisedModule(18, 95, 3);
    Vec3 dir{0, static_cast<double>(side), 0};
    sheet.add(side > 0 ? "Module_Cargo_1" : "Module_Cargo_2", kHullGrey,
              node(dir * 16 + Vec3{0, 0, -235}, Mat3::alongZ(dir)), std::move(m));
  }
  for (int k = 0; k < 4; ++k) {
    EditMesh m;
    sphere(m, Xform{}, 16, 24, 12, 0);
    flange(m, Xform{}, 15.5, 17.5, -2, 2, 24, 0);
    double a = 90.0 * k + 45;
    sheet.add("Tank_" + std::to_string(k + 1), kFoil,
              node({48 * std::cos(degrees(a)), 48 * std::sin(degrees(a)), -125}, rot(kZ, a), {1, 1, 1.4}),
              std::move(m));
  }
}

void habitatRing(Sheet& sheet, const std::string& label, double z, double ringRadius, double tubeRadius,
                 int spokes, double hubRadius, double spokeRadius, int segments, double turnsPerSpan) {
  sheet.group("Station03/Habitat/" + label);
  auto track = sheet.turning(kZ, [turnsPerSpan](double p) { return 360.0 * turnsPerSpan * p; });
  {
    EditMesh m;
    torus(m, Xform{}, ringRadius, tubeRadius, segments, tubeRadius > 25 ? 20 : 16, 0);
    int collars = spokes * 2;
    for (int k = 0; k < collars; ++k) {
      double a = degrees(360.0 * k / collars + 180.0 / collars);
      Vec3 at{ringRadius * std::cos(a), ringRadius * std::sin(a), 0};
      Vec3 tangent{-std::sin(a), std::cos(a), 0};
      flange(m, place(at, Mat3::alongZ(tangent)), tubeRadius - 1, tubeRadius + 4, -3.5, 3.5, 24, 0);
    }
    int windows = static_cast<int>(ringRadius / 4.5);
    for (int k = 0; k < windows; ++k) {
      double a = 360.0 * k / windows;
      double r = ringRadius + tubeRadius - 0.6;
      box(m, place({r * std::cos(degrees(a)), r * std::sin(degrees(a)), 0}, rot(kZ, a)), {1.2, 3.2, 5}, 0);
    }
    m.projectSecondChannel(300);
    SceneObject& o = sheet.add(label + "_Hull", kHullWhite, node({0, 0, z}), std::move(m));
    o.rotationTrack = track;
  }
  {
    EditMesh m;
    flange(m, Xform{}, hubRadius, hubRadius + 14, -14, 14, 48, 0);
    for (int k = 0; k < spokes; ++k) {
      double a = 360.0 * k / spokes;
      Vec3 dir{std::cos(degrees(a)), std::sin(degrees(a)), 0};
      rod(m, dir * (hubRadius + 12), dir * (ringRadius - tubeRadius + 2), spokeRadius, 16, 0);
      box(m, place(dir * (ringRadius * 0.6), rot(kZ, a)), {10, spokeRadius + 3, spokeRadius + 3}, 0);
    }
    SceneObject& o = sheet.add(label + "_Spokes", kHullGrey, node({0, 0, z}), std::move(m));
    o.rotationTrack = track;
  }
}

void power(Sheet& sheet) {
  sheet.group("Station03/Power/Main_Truss");
  {
    EditMesh centre, port, starboard;
    truss(centre, Xform{}, 300, 30, 10, 3, 0);
    truss(port, Xform{}, 320, 30, 10, 3, 0);
    truss(starboard, Xform{}, 320, 30, 10, 3, 0);
    sheet.add("Truss_Main_Centre", kTruss, node({0, -150, 330}, rot(kZ, 90)), std::move(centre));
    sheet.add("Truss_Main_Port", kTruss, node({0, 150, 330}, rot(kZ, 90)), std::move(port));
    sheet.add("Truss_Main_Starboard", kTruss, node({0, -150, 330}, rot(kZ, -90)), std::move(starboard));
  }
  // Floodlights under the main truss, shining down on the habitat ring.
  for (int k = 0; k < 6; ++k) {
    EditMesh m;
    rod(m, {0, 0, 0}, {0, 0, -22}, 1.5, 8, 0);
    lathe(m, place({0, 0, -22}, rot(kX, 180)), {{0, 0}, {4, 0, true}, {7, 7, true}, {6, 8, true}, {0, 8}}, 16, 0);
    static const double ys[6] = {-360, -130, -50, 50, 130, 360};
    double y = ys[k];
    sheet.add("Floodlight_" + std::to_string(k + 1), kDarkMetal, node({12, y, 315}), std::move(m));
  }

  struct Station {
    const char* label;
    double y;
    double tilt;  // sun-tracking angle of the blankets
  };
  const Station stations[] = {{"P1", 300, 18}, {"P2", 420, 24}, {"S1", -300, 18}, {"S2", -420, 24}};
  for (const Station& s : stations) {
    std::string base = std::string("Solar_") + s.label;
    sheet.group("Station03/Power/Array_" + std::string(s.label));
    {
      EditMesh m;
      box(m, Xform{}, {14, 14, 18}, 0);
      lathe(m, place({-28, 0, 0}, rot(kY, 90)), {{0, 0}, {8, 0, true}, {8, 56, true}, {0, 56}}, 24, 0);
      sheet.add(base + "_Gimbal", kDarkMetal, node({0, s.y, 330}), std::move(m));
    }
    for (int d : {1, -1}) {
      std::string wing = base + (d > 0 ? "_Fwd" : "_Aft");
      double x0 = d * 28.0;
      Mat3 out = d > 0 ? Mat3{} : rot(kZ, 180);
      {
        EditMesh m;
        truss(m, Xform{}, 290, 7, 16, 1.2, 0);
        sheet.add(wing + "_Mast", kTruss, node({x0, s.y, 330}, out), std::move(m));
      }
      {
        EditMesh m;
        box(m, place({4, 0, 0}), {4, 52, 4}, 0);
        box(m, place({286, 0, 0}), {4, 52, 3}, 0);
        sheet.add(wing + "_Boxes", kDarkMetal, node({x0, s.y, 330}, out), std::move(m));
      }
      for (int side : {1, -1}) {
        EditMesh m;
        tiledPanel(m, Xform{}, 270, 44, 1.4, 36, 4, 1.0, 0, 0);
        Vec3 centre{x0 + d * 145.0, s.y + side * 27.0, 330};
        sheet.add(wing + (side > 0 ? "_A" : "_B"), kSolar, node(centre, rot(kX, s.tilt)), std::move(m));
      }
    }
  }
}

void thermal(Sheet& sheet) {
  sheet.group("Station03/Thermal");
  const double ys[] = {180, 235, -180, -235};
  const char* names[] = {"P1", "P2", "S1", "S2"};
  for (int k = 0; k < 4; ++k) {
    double turn = k % 2 ? -25 : 25;
    {
      // Hanging panel: local X runs down, the ribbed face looks along +X.
      EditMesh m;
      tiledPanel(m, Xform{}, 128, 50, 2, 8, 2, 2.5, 0, 0);
      sheet.add(std::string("Radiator_") + names[k], kRadiator,
                node({0, ys[k], 238}, rot(kZ, turn) * rot(kY, 90)), std::move(m));
    }
    {
      EditMesh m;
      box(m, Xform{}, {6, 20, 4}, 0);
      rod(m, {0, 0, -4}, {0, 0, -9}, 3, 12, 0);
      sheet.add(std::string("Radiator_") + names[k] + "_Hinge", kDarkMetal, node({0, ys[k], 311}, rot(kZ, turn)),
                std::move(m));
    }
  }
  for (int side : {1, -1}) {
    EditMesh m;
    tiledPanel(m, Xform{}, 90, 60, 2, 6, 3, 2, 0, 0);
    Mat3 r = (side > 0 ? Mat3{} : rot(kZ, 180)) * rot(kX, 90);
    sheet.add(side > 0 ? "Radiator_Lower_1" : "Radiator_Lower_2", kRadiator, node({side * 61.0, 0, -240}, r),
              std::move(m));
  }
}

void comms(Sheet& sheet) {
  sheet.group("Station03/Comms");
  {
    EditMesh m;
    rod(m, {0, 0, 0}, {0, 0, 105}, 3, 12, 0);
    for (double z : {40.0, 75.0}) {
      beam(m, {-25, 0, z}, {25, 0, z}, 1.0, 0);
      beam(m, {0, -25, z}, {0, 25, z}, 1.0, 0);
    }
    sheet.add("Antenna_Mast", kTruss, node({0, 0, 345}), std::move(m));
  }
  {
    // Sweeping array: boom with crossed elements, a small dish at its back.
    EditMesh m;
    rod(m, {0, 0, -4}, {0, 0, 4}, 4, 12, 0);
    beam(m, {-12, 0, 4}, {44, 0, 4}, 1.5, 0);
    for (int k = 0; k < 6; ++k) {
      double x = 6 + 7.0 * k, half = 12 - 1.2 * k;
      rod(m, {x, -half, 4}, {x, half, 4}, 0.8, 6, 0);
      rod(m, {x, 0, 4 - half}, {x, 0, 4 + half}, 0.8, 6, 0);
    }
    dish(m, place({-14, 0, 4}, rot(kY, -90)), 11, 3, 0.8, 24, 5, 0);
    SceneObject& o = sheet.add("Antenna_Sweep", kHullGrey, node({0, 0, 450}, rot(kZ, 30)), std::move(m));
    o.rotationTrack = sheet.turning(kZ, [](double p) { return 30.0 + 50.0 * std::sin(2.0 * kPi * p); });
  }
  {
    EditMesh m;
    sphere(m, Xform{}, 4, 16, 8, 0);
    SceneObject& o = sheet.add("Beacon_Top", kHullWhite, node({0, 0, 462}), std::move(m));
    for (int f : sheet.frames()) {
      double pulse = 1.0 + 0.25 * (1.0 - std::cos(2.0 * kPi * 4.0 * sheet.phase(f)));
      o.scaleTrack.push_back({sheet.tick(f), {pulse, pulse, pulse}});
    }
  }
  {
    const double radius = 55, depth = 16;
    const double focus = radius * radius / (4 * depth);
    NodeTransform tm = node({0, 100, 380}, rot(kY, 35), {1.2, 1.2, 1.2});
    EditMesh d;
    dish(d, Xform{}, radius, depth, 2.5, 48, 10, 0);
    flange(d, Xform{}, radius - 1, radius + 1.5, depth - 1, depth + 1, 48, 0);
    d.projectSecondChannel(2 * radius);
    sheet.add("Dish_Main", kReflector, tm, std::move(d));

    EditMesh feed;
    for (int k = 0; k < 3; ++k) {
      double a = degrees(120.0 * k + 90);
      rod(feed, {(radius - 3) * std::cos(a), (radius - 3) * std::sin(a), depth}, {0, 0, focus - 6}, 1.2, 6, 0);
    }
    lathe(feed, Xform{}, {{0, focus - 8}, {5, focus - 8, true}, {5, focus + 2, true}, {8, focus + 6, true}, {0, focus + 6}},
          16, 0);
    sheet.add("Dish_Main_Feed", kDarkMetal, tm, std::move(feed));

    EditMesh pylon;
    rod(pylon, {0, 0, 0}, {0, 0, 36}, 5, 16, 0);
    box(pylon, place({0, 0, 36}), {8, 8, 4}, 0);
    sheet.add("Dish_Main_Pylon", kDarkMetal, node({0, 100, 345}), std::move(pylon));
  }
  struct Relay {
    const char* name;
    Vec3 at;
    Mat3 r;
    double radius;
  };
  const Relay relays[] = {
      {"Dish_Relay_Lab", {172, 0, 194}, rot(kZ, 20) * rot(kY, 50), 16},
      {"Dish_Relay_Hab", {-216, 0, 186}, rot(kY, -60), 20},
  };
  for (const Relay& r : relays) {
    EditMesh m;
    dish(m, Xform{}, r.radius, r.radius * 0.28, 1.2, 32, 6, 0);
    rod(m, {0, 0, -1}, {0, 0, -14}, 2, 10, 0);
    sheet.add(r.name, kReflector, node(r.at, r.r), std::move(m));
  }
  const Vec3 whips[] = {{20, 20, 172}, {-20, -20, 172}, {0, 144, 172}, {-150, 0, 178}};
  const double heights[] = {60, 55, 40, 45};
  for (int k = 0; k < 4; ++k) {
    EditMesh m;
    rod(m, {0, 0, 0}, {0, 0, heights[k]}, 0.9, 6, 0);
    sphere(m, place({0, 0, heights[k]}), 1.8, 8, 4, 0);
    sheet.add("Antenna_Whip_" + std::to_string(k + 1), kTruss, node(whips[k]), std::move(m));
  }
}

void docking(Sheet& sheet) {
  sheet.group("Station03/Docking");
  {
    EditMesh m;
    sphere(m, Xform{}, 30, 32, 16, 0);
    rod(m, {0, 0, 0}, {0, 0, -42}, 14, 24, 0);
    m.projectSecondChannel(100);
    sheet.add("Node_Lower", kHullWhite, node({0, 0, -300}), std::move(m));
  }
  const double upper = 95, fore = 70, droop = 25;
  const Vec3 elbow{upper, 0, 0};
  const Vec3 forearm{fore * std::cos(degrees(droop)), 0, -fore * std::sin(degrees(droop))};
  Vec3 dockPort1, dockAxis1;
  for (int k = 0; k < 3; ++k) {
    double a = 120.0 * k;
    Mat3 r = rot(kZ, a);
    Vec3 origin{0, 0, -300};
    {
      EditMesh m;
      rod(m, {0, 0, 0}, elbow, 8, 16, 0);
      sphere(m, place(elbow), 11, 16, 8, 0);
      rod(m, elbow, elbow + forearm, 7, 16, 0);
      box(m, place(elbow + forearm, rot(kY, droop)), {4, 10, 10}, 0);
      sheet.add("Dock_Arm_" + std::to_string(k + 1), kHullGrey, node(origin, r), std::move(m));
    }
    Vec3 axis = r * normalize(forearm);
    Vec3 at = origin + r * (elbow + forearm) + axis * 4.0;
    sheet.add("Dock_Port_" + std::to_string(k + 1), kHullWhite, node(at, Mat3::alongZ(axis)), dockingPort());
    if (k == 0) {
      dockPort1 = at + axis * 20.0;
      dockAxis1 = axis;
    }
  }
  sheet.add("Dock_Port_Axial", kHullWhite, node({0, 0, -342}, rot(kX, 180)), dockingPort());

  // A shuttle closing on port 1 along its axis, slowing as it comes in.
  EditMesh hull, wings;
  lathe(hull, Xform{},
        {{0, 0}, {6, 2}, {11, 8}, {14, 16, true}, {14, 60, true}, {12, 66, true}, {12, 72, true}, {0, 72}}, 32,
        kShuttleTiles);
  rod(hull, {0, 0, 0}, {0, 0, -8}, 3.5, 12, kShuttleBlack);
  for (int k = 0; k < 4; ++k) {
    double a = degrees(90.0 * k + 45);
    lathe(hull, place({8 * std::cos(a), 8 * std::sin(a), 72}), {{0, 0}, {3, 0, true}, {5.5, 9, true}, {0, 9}}, 12,
          kShuttleBlack);
  }
  for (int side : {1, -1}) {
    tiledPanel(wings, place({side * 48.0, 0, 40}), 64, 22, 1.2, 8, 3, 0.8, 0, 0);
    beam(wings, {side * 13.0, 0, 40}, {side * 17.0, 0, 40}, 2, 0);
  }
  Mat3 facing = Mat3::alongZ(dockAxis1);
  std::vector<PositionKey> approach;
  for (int f : sheet.frames()) {
    double p = sheet.phase(f);
    double ease = p * p * (3 - 2 * p);
    approach.push_back({sheet.tick(f), dockPort1 + dockAxis1 * (200.0 - 160.0 * ease)});
  }
  SceneObject& h = sheet.add("Shuttle_Hull", kShuttleMulti, node(approach.front().value, facing), std::move(hull));
  h.positionTrack = approach;
  SceneObject& w = sheet.add("Shuttle_Wings", kSolar, node(approach.front().value, facing), std::move(wings));
  w.positionTrack = approach;
}

}  // namespace

Scene buildStation() {
  Scene scene;
  scene.materials = materials();
  Sheet sheet(scene);
  core(sheet);
  modules(sheet);
  habitatRing(sheet, "Ring_A", 0, 350, 34, 6, kHubRadius, 9, 96, 1.0);
  habitatRing(sheet, "Ring_B", -170, 235, 24, 4, 30, 7, 72, -1.0);
  power(sheet);
  thermal(sheet);
  comms(sheet);
  docking(sheet);
  return scene;
}

}  // namespace stationgen
