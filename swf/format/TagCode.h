#pragma once
// Every tag code the engine knows, listed once. The list generates the enum and the
// names used by the tools; a code missing here is "unknown" and only counted.

#include <cstdint>

namespace swf::format {

#define SWF_TAG_CODES(X)                                                                                     \
    X(End, 0)                                                                                                \
    X(ShowFrame, 1)                                                                                          \
    X(DefineShape, 2)                                                                                        \
    X(PlaceObject, 4)                                                                                        \
    X(RemoveObject, 5)                                                                                       \
    X(DefineBits, 6)                                                                                         \
    X(DefineButton, 7)                                                                                       \
    X(JPEGTables, 8)                                                                                         \
    X(SetBackgroundColor, 9)                                                                                 \
    X(DefineFont, 10)                                                                                        \
    X(DefineText, 11)                                                                                        \
    X(DoAction, 12)                                                                                          \
    X(DefineFontInfo, 13)                                                                                    \
    X(DefineSound, 14)                                                                                       \
    X(StartSound, 15)                                                                                        \
    X(DefineButtonSound, 17)                                                                                 \
    X(SoundStreamHead, 18)                                                                                   \
    X(SoundStreamBlock, 19)                                                                                  \
    X(DefineBitsLossless, 20)                                                                                \
    X(DefineBitsJPEG2, 21)                                                                                   \
    X(DefineShape2, 22)                                                                                      \
    X(DefineButtonCxform, 23)                                                                                \
    X(Protect, 24)                                                                                           \
    X(PlaceObject2, 26)                                                                                      \
    X(RemoveObject2, 28)                                                                                     \
    X(DefineShape3, 32)                                                                                      \
    X(DefineText2, 33)                                                                                       \
    X(DefineButton2, 34)                                                                                     \
    X(DefineBitsJPEG3, 35)                                                                                   \
    X(DefineBitsLossless2, 36)                                                                               \
    X(DefineEditText, 37)                                                                                    \
    X(DefineSprite, 39)                                                                                      \
    X(ProductInfo, 41)                                                                                       \
    X(FrameLabel, 43)                                                                                        \
    X(SoundStreamHead2, 45)                                                                                  \
    X(DefineMorphShape, 46)                                                                                  \
    X(DefineFont2, 48)                                                                                       \
    X(ExportAssets, 56)                                                                                      \
    X(ImportAssets, 57)                                                                                      \
    X(EnableDebugger, 58)                                                                                    \
    X(DoInitAction, 59)                                                                                      \
    X(DefineVideoStream, 60)                                                                                 \
    X(VideoFrame, 61)                                                                                        \
    X(DefineFontInfo2, 62)                                                                                   \
    X(DebugId, 63)                                                                                           \
    X(EnableDebugger2, 64)                                                                                   \
    X(ScriptLimits, 65)                                                                                      \
    X(SetTabIndex, 66)                                                                                       \
    X(FileAttributes, 69)                                                                                    \
    X(PlaceObject3, 70)                                                                                      \
    X(ImportAssets2, 71)                                                                                     \
    X(DoAbcEarly, 72)                                                                                        \
    X(DefineFontAlignZones, 73)                                                                              \
    X(CSMTextSettings, 74)                                                                                   \
    X(DefineFont3, 75)                                                                                       \
    X(SymbolClass, 76)                                                                                       \
    X(Metadata, 77)                                                                                          \
    X(DefineScalingGrid, 78)                                                                                 \
    X(DoAbc, 82)                                                                                             \
    X(DefineShape4, 83)                                                                                      \
    X(DefineMorphShape2, 84)                                                                                 \
    X(DefineSceneAndFrameLabelData, 86)                                                                      \
    X(DefineBinaryData, 87)                                                                                  \
    X(DefineFontName, 88)                                                                                    \
    X(StartSound2, 89)                                                                                       \
    X(DefineBitsJPEG4, 90)                                                                                   \
    X(DefineFont4, 91)                                                                                       \
    X(EnableTelemetry, 93)                                                                                   \
    X(PlaceObject4, 94)

enum class TagCode : std::uint16_t {
#define SWF_TAG_ENUM(name, code) name = code,
    SWF_TAG_CODES(SWF_TAG_ENUM)
#undef SWF_TAG_ENUM
};

// Name of a known tag code, nullptr for an unknown one.
constexpr const char* tagName(std::uint16_t code) {
    switch (code) {
#define SWF_TAG_NAME(name, value)                                                                            \
    case value:                                                                                              \
        return #name;
        SWF_TAG_CODES(SWF_TAG_NAME)
#undef SWF_TAG_NAME
    }
    return nullptr;
}

constexpr bool isKnownTag(std::uint16_t code) {
    return tagName(code) != nullptr;
}

} // namespace swf::format
