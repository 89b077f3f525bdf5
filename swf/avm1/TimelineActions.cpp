#include "swf/avm1/TimelineActions.h"

#include "swf/avm1/ActionDecoder.h"
#include "swf/io/ByteReader.h"
#include "swf/timeline/Clip.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>
#include <vector>

namespace swf::avm1 {
namespace {

// Bounds a hostile block: straight-line code cannot loop, but keep the work finite.
constexpr std::size_t kMaxActionsPerBlock = 1u << 20;

// What GotoFrame2 or SetTarget2 can take from the stack: a known constant or nothing.
struct Operand {
    enum Kind { Unknown, Number, String } kind = Unknown;
    double number = 0;
    std::string text;
};

Operand toOperand(const PushValue& v, const std::vector<std::string>& pool) {
    Operand op;
    if (auto* s = std::get_if<std::string>(&v)) {
        op.kind = Operand::String;
        op.text = *s;
    } else if (auto* d = std::get_if<double>(&v)) {
        op.kind = Operand::Number;
        op.number = *d;
    } else if (auto* i = std::get_if<std::int32_t>(&v)) {
        op.kind = Operand::Number;
        op.number = *i;
    } else if (auto* b = std::get_if<bool>(&v)) {
        op.kind = Operand::Number;
        op.number = *b ? 1 : 0;
    } else if (auto* c = std::get_if<PushConstant>(&v)) {
        if (c->index < pool.size()) {
            op.kind = Operand::String;
            op.text = pool[c->index];
        }
    }
    return op;
}

class Run {
public:
    explicit Run(timeline::Clip& clip) : m_base(clip.weak_from_this()), m_target(m_base) {}

    void execute(std::span<const std::uint8_t> code);

private:
    std::shared_ptr<timeline::Clip> target() { return m_targetValid ? m_target.lock() : nullptr; }
    void setTarget(const std::string& path);
    void gotoFrame2(const Operand& op, bool play, int bias);

    std::weak_ptr<timeline::Clip> m_base;
    std::weak_ptr<timeline::Clip> m_target;
    bool m_targetValid = true;
    std::vector<Operand> m_stack;
    std::vector<std::string> m_pool;
};

void Run::setTarget(const std::string& path) {
    auto base = m_base.lock();
    if (!base)
        return;
    if (path.empty()) {
        m_target = m_base;
        m_targetValid = true;
        return;
    }
    timeline::Clip* found = base->resolvePath(path);
    m_targetValid = found != nullptr;
    m_target = found ? found->weak_from_this() : std::weak_ptr<timeline::Clip>{};
}

// GotoFrame2: a number is a 1-based frame; a string is a frame number or a label,
// optionally prefixed by a clip path ("/a/b:label", "a.b:3").
void Run::gotoFrame2(const Operand& op, bool play, int bias) {
    auto clip = target();
    if (!clip || op.kind == Operand::Unknown)
        return;
    timeline::Clip* at = clip.get();
    int frame = -1;
    if (op.kind == Operand::Number) {
        if (!std::isfinite(op.number))
            return;
        frame = static_cast<int>(std::clamp(op.number, -1e9, 1e9)) - 1;
    } else {
        std::string_view text = op.text;
        std::size_t colon = text.rfind(':');
        if (colon != std::string_view::npos) {
            at = clip->resolvePath(text.substr(0, colon));
            text = text.substr(colon + 1);
            if (!at)
                return;
        }
        long long number = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (ec == std::errc() && end == text.data() + text.size() && !text.empty()) {
            frame = static_cast<int>(std::clamp(number, -1'000'000'000LL, 1'000'000'000LL)) - 1;
        } else {
            frame = at->timeline().findLabel(text);
            if (frame < 0)
                return; // unknown label: ignored
        }
    }
    frame += bias;
    if (frame < 0)
        frame = 0;
    at->gotoFrame(frame);
    at->setPlaying(play);
}

void Run::execute(std::span<const std::uint8_t> code) {
    ActionDecoder decoder(code);
    ActionRecord rec;
    std::size_t steps = 0;
    while (decoder.next(rec) && ++steps <= kMaxActionsPerBlock) {
        auto action = static_cast<ActionCode>(rec.code);
        bool keepStack = false;
        switch (action) {
        case ActionCode::Stop:
            if (auto c = target())
                c->stop();
            break;
        case ActionCode::Play:
            if (auto c = target())
                c->play();
            break;
        case ActionCode::NextFrame:
            if (auto c = target())
                c->nextFrame();
            break;
        case ActionCode::PreviousFrame:
            if (auto c = target())
                c->prevFrame();
            break;
        case ActionCode::GotoFrame: {
            io::ByteReader r(rec.payload);
            int frame = r.u16();
            if (auto c = target(); c && r.ok()) {
                c->gotoFrame(frame);
                c->stop();
            }
            break;
        }
        case ActionCode::GoToLabel: {
            io::ByteReader r(rec.payload);
            std::string label = r.string();
            if (auto c = target(); c && c->gotoLabel(label))
                c->stop();
            break;
        }
        case ActionCode::SetTarget: {
            io::ByteReader r(rec.payload);
            setTarget(r.string());
            break;
        }
        case ActionCode::Push:
            if (auto values = decodePush(rec.payload)) {
                for (const auto& v : *values)
                    m_stack.push_back(toOperand(v, m_pool));
                keepStack = true;
            }
            break;
        case ActionCode::ConstantPool:
            if (auto pool = decodeConstantPool(rec.payload))
                m_pool = std::move(*pool);
            keepStack = true;
            break;
        case ActionCode::SetTarget2:
            if (!m_stack.empty()) {
                Operand op = m_stack.back();
                m_stack.pop_back();
                if (op.kind == Operand::String)
                    setTarget(op.text);
                else
                    m_targetValid = false; // a computed target we cannot follow
                keepStack = true;
            }
            break;
        case ActionCode::GotoFrame2:
            if (!m_stack.empty()) {
                io::ByteReader r(rec.payload);
                std::uint8_t flags = r.u8();
                int bias = (flags & 0x02) ? r.u16() : 0;
                Operand op = m_stack.back();
                m_stack.pop_back();
                if (r.ok())
                    gotoFrame2(op, flags & 0x01, bias);
                keepStack = true;
            }
            break;
        default:
            // FIXME: everything else needs the full interpreter; skip bodies so a
            // function's stop() does not run at definition time.
            if (std::size_t body = trailingBodySize(rec))
                decoder.seek(std::min(code.size(), rec.next + body));
            break;
        }
        // An action we do not model may have consumed or produced anything.
        if (!keepStack)
            m_stack.clear();
    }
}

} // namespace

void TimelineActions::execute(timeline::Clip& clip, std::span<const std::uint8_t> code) {
    Run(clip).execute(code);
}

void TimelineActions::runFrameActions(timeline::Clip& clip, std::span<const std::uint8_t> code) {
    execute(clip, code);
}

void TimelineActions::runInitActions(timeline::Clip& clip, std::uint16_t,
                                     std::span<const std::uint8_t> code) {
    execute(clip, code);
}

void TimelineActions::runClipEvent(timeline::Clip& clip, std::uint32_t, std::span<const std::uint8_t> code) {
    execute(clip, code);
}

} // namespace swf::avm1
