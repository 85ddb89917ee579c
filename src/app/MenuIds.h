#pragma once

// The main frame's command ids. They are fixed numbers, not wxID_ANY, because scripts, tests
// and the commands without a menu item are reached by sending an event with the number.
// Items made at run time take kFirst...Id + i.

// File
constexpr int kOpenSkinId = 0;
constexpr int kNoCommandId = 1;
constexpr int kSaveCameraKeysId = 2;
constexpr int kLoadCameraKeysId = 3;
constexpr int kLoadHerdId = 4;
constexpr int kSaveHerdId = 5;
constexpr int kExportImageId = 6;
constexpr int kExportImageSequenceId = 7;
constexpr int kExportObjId = 8;
constexpr int kTimedemoId = 9;
constexpr int kAnimalCountId = 10;
constexpr int kExitId = 11;

// Camera
constexpr int kPerspectiveId = 13;
constexpr int kOrthographicId = 14;

// Render
constexpr int kUseVertexProgramId = 15;
constexpr int kShowVertexProgramId = 16;
constexpr int kGeometryMenuId = 17;
constexpr int kBoxesId = 18;
constexpr int kPolysId = 19;
constexpr int kWireframeId = 20;
constexpr int kPointsId = 21;
constexpr int kLodMenuId = 22;
constexpr int kLodAggressiveId = 23;
constexpr int kLodModerateId = 24;
constexpr int kLodConservativeId = 25;
constexpr int kWireframeOnShadedId = 26;
constexpr int kShadowsId = 27;
constexpr int kGroundPlaneId = 28;
constexpr int kBackgroundMenuId = 29;
constexpr int kWhiteId = 30;
constexpr int kBlackId = 31;
constexpr int kLightGrayId = 32;
constexpr int kDarkGrayId = 33;
constexpr int kBlueId = 34;
constexpr int kSkyId = 35;
constexpr int kLightingMenuId = 36;
constexpr int kNoLightingId = 37;
constexpr int kOpenGLLightingId = 38;
constexpr int kPrtLightingId = 39;
constexpr int kMethodMenuId = 40;
constexpr int kVertexBufferObjectsId = 41;
constexpr int kDisplayListsId = 42;
constexpr int kVertexArraysId = 43;
constexpr int kTriangleStripsId = 44;

// Eigenskin and PRT
constexpr int kVertexCorrectionsMenuId = 46;
constexpr int kNormalCorrectionsMenuId = 47;
constexpr int kPrtCorrectionsMenuId = 49;
constexpr int kSettingsChangedId = 51;

// Herd
constexpr int kRunningId = 53;
constexpr int kMovingId = 54;
constexpr int kHerdPropertiesId = 60;

// Help
constexpr int kAboutId = 62;
// The mouse-and-keys panel of the view (F1).
constexpr int kMouseAndKeysId = 63;
// File, beside the commands above: the video export after "Export image sequence...", and the
// "Open recent" submenu after "Open skinned mesh..." (its items are wxID_FILE1 ... wxID_FILE9,
// as wxFileHistory makes them).
constexpr int kExportVideoId = 64;
constexpr int kOpenRecentMenuId = 65;
// LOD: "Impostors for distant animals" and the switch height.
constexpr int kImpostorsId = 66;
constexpr int kImpostorPixelsId = 67;

// Run-time items: the first of each range carries the count 0 (or level 0).
constexpr int kFirstVertexCorrectionId = 1000;
constexpr int kFirstNormalCorrectionId = 2000;
constexpr int kFirstPrtCorrectionId = 4000;
constexpr int kFirstFixedLevelId = 6000;
// Each range holds at most this many items.
constexpr int kRunTimeRangeSize = 1000;
