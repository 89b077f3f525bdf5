// orvane-tool actions: lists every ActionScript 1/2 block of a movie (frame actions of the
// root and of every sprite, init actions, clip events and button conditions) as readable
// records, to see what a movie's scripts do without running them.

#include "CommandRegistry.h"
#include "InputFile.h"
#include "swf/avm1/Disassembler.h"
#include "swf/format/Button.h"
#include "swf/format/PlaceObject.h"
#include "swf/format/TagCode.h"
#include "swf/io/ByteReader.h"
#include "swf/movie/Movie.h"

#include <cstdio>
#include <string>

namespace orvane::tool {
namespace {

const char kUsage[] = "usage: orvane-tool actions MOVIE.swf\n"
                      "\n"
                      "Prints every ActionScript 1/2 block in the movie, in file order: frame actions\n"
                      "of the root timeline and of each sprite, init actions, clip events and button\n"
                      "actions, one record per line with its offset in the block and its operands.\n"
                      "Nothing runs. ActionScript 3 code is not listed.\n";

int run(const std::vector<std::string>& args);
const Command kActions{"actions", "list a movie's ActionScript 1/2 code", kUsage, run};
const CommandRegistration kRegistration(kActions);

using swf::format::TagCode;

void printBlock(const std::string& title, std::span<const std::uint8_t> code) {
    std::printf("== %s (%zu bytes)\n%s", title.c_str(), code.size(), swf::avm1::disassemble(code).c_str());
}

void listTimeline(const swf::movie::Movie& movie, const swf::format::Timeline& timeline, const std::string& owner) {
    const swf::format::ParseContext ctx{movie.version()};
    for (int frame = 0; frame < timeline.frameCount(); ++frame) {
        const std::string where = owner + " frame " + std::to_string(frame + 1);
        for (const auto& tag : timeline.frameTags(frame)) {
            const auto body = movie.tagBody(tag);
            const auto code = static_cast<TagCode>(tag.code);
            if (code == TagCode::DoAction) {
                printBlock(where + " DoAction", body);
            } else if (code == TagCode::DoInitAction && body.size() >= 2) {
                const unsigned sprite = body[0] | body[1] << 8;
                printBlock(where + " DoInitAction for sprite " + std::to_string(sprite), body.subspan(2));
            } else if (code == TagCode::PlaceObject2 || code == TagCode::PlaceObject3) {
                swf::io::ByteReader r(body);
                swf::format::PlaceObject place;
                if (!swf::format::parsePlaceObject(code, r, ctx, place))
                    continue;
                for (const auto& event : place.clipActions) {
                    char title[96];
                    std::snprintf(title, sizeof title, " clip events 0x%06x key %u at depth %u", event.events,
                                  event.keyCode, place.depth);
                    printBlock(where + title, event.actions);
                }
            }
        }
    }
}

int run(const std::vector<std::string>& args) {
    if (args.size() != 1 || args[0].empty() || args[0][0] == '-')
        return failUsage(kActions, "expects one movie");
    std::string why;
    auto bytes = readInputFile(args[0], swf::movie::kMaxBodySize + 8, why);
    if (!bytes)
        return failInput(args[0], why);
    std::string error;
    const auto movie = swf::movie::Movie::fromBytes(std::move(*bytes), error);
    if (!movie)
        return failInput(args[0], error);
    if (movie->isActionScript3())
        std::printf("(an ActionScript 3 movie: its AS1/2 blocks, if any, do not run)\n");
    listTimeline(*movie, movie->root(), "root");
    for (unsigned id = 0; id <= 0xFFFF; ++id) {
        const auto* character = movie->character(static_cast<std::uint16_t>(id));
        if (!character)
            continue;
        if (character->kind == swf::format::CharacterKind::Sprite) {
            const auto& sprite = static_cast<const swf::format::SpriteCharacter&>(*character);
            listTimeline(*movie, sprite.timeline, "sprite " + std::to_string(id));
        } else if (character->kind == swf::format::CharacterKind::Button) {
            const auto& button = static_cast<const swf::format::ButtonCharacter&>(*character);
            for (const auto& action : button.actions) {
                char title[64];
                std::snprintf(title, sizeof title, "button %u conditions 0x%04x", id, action.conditions);
                printBlock(title, action.actions);
            }
        }
    }
    return kExitOk;
}

} // namespace
} // namespace orvane::tool
