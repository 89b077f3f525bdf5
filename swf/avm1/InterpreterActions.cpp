// The dispatch loop: one switch over the action codes of SWF 3 to 7, driven by the
// engine's action table, with the actions grouped by what they work on.

#include "ActionTable.h"
#include "BuiltinLoad.h"
#include "Frame.h"
#include "Interpreter.h"
#include "swf/audio/SoundControl.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_set>

namespace swf::avm1 {
namespace {

// x / 0 and x / -0 alike: infinity with the sign of x, NaN for 0 / 0 and NaN / 0.
double divideByZero(double a) {
    if (a != a || a == 0)
        return std::nan("");
    return a > 0 ? HUGE_VAL : -HUGE_VAL;
}

} // namespace

// ---- the stack ------------------------------------------------------------------------------------

// Popping past the frame's base gives undefined, as the player did.
Value Interpreter::popValue(Frame& f) {
    if (m_stack.size() <= f.stackBase)
        return Value();
    Value v = std::move(m_stack.back());
    m_stack.pop_back();
    return v;
}

// An argument count, clipped to what the stack holds.
std::size_t Interpreter::popArgCount(Frame& f) {
    const double n = toNumber(popValue(f));
    if (!(n > 0))
        return 0;
    const std::size_t available = m_stack.size() - f.stackBase;
    return n > static_cast<double>(available) ? available : static_cast<std::size_t>(n);
}

std::vector<Value> Interpreter::popValues(Frame& f, std::size_t n) {
    std::vector<Value> values;
    values.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        values.push_back(popValue(f));
    return values;
}

void Interpreter::push(Value v) {
    m_stack.push_back(std::move(v));
}

// Comparison results are numbers in SWF 4, which had no booleans.
void Interpreter::pushLogical(bool b) {
    if (m_version < 5)
        push(b ? 1.0 : 0.0);
    else
        push(b);
}

// A little-endian 16-bit operand; callers have checked that both bytes are in the block.
std::size_t Interpreter::u16at(const Frame& f, std::size_t at) {
    const std::uint8_t* code = f.buffer->data();
    return static_cast<std::size_t>(code[at] | (code[at + 1] << 8));
}

// ---- action groups ------------------------------------------------------------------------------
// Split out of the loop so that a nested call holds only one group's locals on the
// machine stack, not those of every action.

// Timeline control, clip properties, URLs and the other host requests.
void Interpreter::opTimeline(Frame& f, std::uint8_t op, [[maybe_unused]] Payload& in,
                             [[maybe_unused]] std::size_t& next, [[maybe_unused]] std::size_t end) {
    switch (static_cast<ActionCode>(op)) {
    case ActionCode::NextFrame:
        if (m_host && f.target != kNoClip)
            m_host->nextFrame(f.target);
        break;
    case ActionCode::PreviousFrame:
        if (m_host && f.target != kNoClip)
            m_host->prevFrame(f.target);
        break;
    case ActionCode::Play:
        if (m_host && f.target != kNoClip)
            m_host->play(f.target);
        break;
    case ActionCode::Stop:
        if (m_host && f.target != kNoClip)
            m_host->stop(f.target);
        break;
    case ActionCode::StopSounds:
        if (m_host)
            if (audio::SoundControl* sound = m_host->soundControl())
                sound->stopAll();
        break;
    case ActionCode::ToggleQuality:
        // Between low and high, as the old toggleHighQuality() did.
        if (m_host && m_host->exists(m_host->root()))
            m_host->setProperty(m_host->root(), ClipProperty::HighQuality,
                                m_host->property(m_host->root(), ClipProperty::HighQuality) == 0 ? 1 : 0);
        break;
    case ActionCode::StrictMode:
        break;
    case ActionCode::GotoFrame: {
        const int frame = in.u16();
        if (m_host && f.target != kNoClip)
            m_host->gotoFrame(f.target, frame + 1, false);
        break;
    }
    case ActionCode::GetURL: {
        std::string url = in.str();
        std::string target = in.str();
        if (m_host)
            m_host->getUrl(url, target, 0);
        break;
    }
    case ActionCode::WaitForFrame:
    case ActionCode::WaitForFrame2: {
        double frame;
        std::uint8_t skip;
        if (op == static_cast<std::uint8_t>(ActionCode::WaitForFrame)) {
            frame = in.u16() + 1;
            skip = in.u8();
        } else {
            skip = in.u8();
            frame = toNumber(popValue(f));
        }
        const double loaded =
            m_host && f.target != kNoClip ? m_host->property(f.target, ClipProperty::FramesLoaded) : 1e9;
        if (!(frame <= loaded)) {
            // Skip whole actions, not bytes.
            std::size_t at = next;
            for (int k = 0; k < skip && at < end; ++k) {
                if ((*f.buffer)[at] >= 0x80)
                    at += at + 3 <= end ? 3 + u16at(f, at + 1) : end - at;
                else
                    ++at;
            }
            next = std::min(at, end);
        }
        break;
    }
    case ActionCode::SetTarget:
        setTarget(f, in.str());
        break;
    case ActionCode::GoToLabel: {
        const std::string label = in.str();
        if (m_host && f.target != kNoClip)
            m_host->gotoLabel(f.target, label, false);
        break;
    }

    case ActionCode::SetTarget2: {
        // A clip is taken by its path, as text: of two clips of one name the first is reached.
        setTarget(f, toString(popValue(f)));
        break;
    }
    case ActionCode::GetProperty: {
        const double index = toNumber(popValue(f));
        const ClipId clip = targetClip(f, popValue(f));
        if (clip == kNoClip || !(index >= 0 && index < static_cast<int>(ClipProperty::Count)))
            push(Value());
        else
            push(readClipProperty(clip, static_cast<int>(index)));
        break;
    }
    case ActionCode::SetProperty: {
        Value v = popValue(f);
        const double index = toNumber(popValue(f));
        const ClipId clip = targetClip(f, popValue(f));
        if (clip != kNoClip && index >= 0 && index < static_cast<int>(ClipProperty::Count))
            writeClipProperty(clip, static_cast<int>(index), v);
        break;
    }
    case ActionCode::CloneSprite: {
        const double depth = toNumber(popValue(f));
        const std::string name = toString(popValue(f));
        const ClipId source = targetClip(f, popValue(f));
        // The depth is the timeline's own (compilers add 16384 to the script's depth).
        if (m_host && source != kNoClip && std::isfinite(depth))
            m_host->duplicate(source, name, static_cast<int>(std::clamp(depth, -2e9, 2e9)) - 16384);
        break;
    }
    case ActionCode::RemoveSprite: {
        const ClipId clip = targetClip(f, popValue(f));
        if (m_host && clip != kNoClip)
            m_host->remove(clip);
        break;
    }
    case ActionCode::Trace: {
        const Value v = popValue(f);
        // trace shows "undefined" in every version, unlike string conversion.
        std::string line = v.isUndefined() ? std::string("undefined") : toString(v);
        if (m_pending == Pending::None)
            trace(line);
        break;
    }
    case ActionCode::StartDrag: {
        const ClipId clip = targetClip(f, popValue(f));
        const bool lock = toBoolean(popValue(f));
        ClipRect rect;
        const bool constrain = toBoolean(popValue(f));
        if (constrain) {
            rect.yMax = toNumber(popValue(f));
            rect.xMax = toNumber(popValue(f));
            rect.yMin = toNumber(popValue(f));
            rect.xMin = toNumber(popValue(f));
        }
        if (m_host && clip != kNoClip)
            m_host->startDrag(clip, lock, constrain ? &rect : nullptr);
        break;
    }
    case ActionCode::EndDrag:
        if (m_host)
            m_host->stopDrag();
        break;
    case ActionCode::RandomNumber: {
        const std::int32_t max = toInt32(toNumber(popValue(f)));
        push(max <= 0 ? 0.0 : static_cast<double>(nextRandom() % static_cast<std::uint32_t>(max)));
        break;
    }
    case ActionCode::GetTime:
        push(std::floor(m_timeMs));
        break;
    case ActionCode::Call: {
        const Value frame = popValue(f);
        if (!m_host || f.target == kNoClip)
            break;
        ClipId clip = f.target;
        std::string s = toString(frame);
        const std::size_t colon = s.rfind(':');
        if (colon != std::string::npos) {
            Object* o = resolvePath(f, std::string_view(s).substr(0, colon));
            if (!o || o->kind() != Object::Kind::Clip)
                break;
            clip = static_cast<ClipObject*>(o)->clip;
            s = s.substr(colon + 1);
        }
        double n = stringToNumber(s, 5);
        if (std::isnan(n))
            n = m_host->frameOfLabel(clip, s);
        if (!(n >= 1 && n < 1e9))
            break;
        for (std::span<const std::uint8_t> block : m_host->frameActions(clip, static_cast<int>(n))) {
            auto buffer = std::make_shared<const std::vector<std::uint8_t>>(block.begin(), block.end());
            const Completion c = runNested(std::move(buffer), clip);
            if (c == Completion::Abort || m_pending != Pending::None)
                break;
        }
        break;
    }
    case ActionCode::GotoFrame2: {
        const std::uint8_t flags = in.u8();
        const int bias = (flags & 0x02) ? in.u16() : 0;
        gotoFrame2(f, popValue(f), (flags & 0x01) != 0, bias);
        break;
    }
    case ActionCode::GetURL2: {
        const std::uint8_t flags = in.u8();
        const std::string target = toString(popValue(f));
        const std::string url = toString(popValue(f));
        if (flags & 0x80) // loadVariables / loadVariablesNum
            queueVariablesLoad(*this, target, url);
        else if (m_host)
            m_host->getUrl(url, target, flags & 0x03);
        break;
    }
    case ActionCode::FSCommand2: {
        const std::size_t n = popArgCount(f);
        popValues(f, n);
        break;
    }

    default:
        break;
    }
}

// Pushing, popping, constants and registers.
void Interpreter::opStack(Frame& f, std::uint8_t op, [[maybe_unused]] Payload& in,
                          [[maybe_unused]] std::size_t& next, [[maybe_unused]] std::size_t end) {
    switch (static_cast<ActionCode>(op)) {
    case ActionCode::Push:
        while (!in.atEnd()) {
            const std::uint8_t type = in.u8();
            switch (type) {
            case 0:
                push(in.str());
                break;
            case 1: {
                const std::uint32_t bits = in.u32();
                float fl;
                std::memcpy(&fl, &bits, 4);
                push(static_cast<double>(fl));
                break;
            }
            case 2:
                push(Value::null());
                break;
            case 3:
                push(Value());
                break;
            case 4: {
                const std::uint8_t r = in.u8();
                push(r < f.registers.size() ? f.registers[r] : Value());
                break;
            }
            case 5:
                push(in.u8() != 0);
                break;
            case 6: {
                // The high word comes first.
                const std::uint64_t hi = in.u32();
                const std::uint64_t lo = in.u32();
                const std::uint64_t bits = (hi << 32) | lo;
                double d;
                std::memcpy(&d, &bits, 8);
                push(d);
                break;
            }
            case 7:
                push(static_cast<double>(static_cast<std::int32_t>(in.u32())));
                break;
            case 8:
            case 9: {
                const std::size_t index = type == 8 ? in.u8() : in.u16();
                push(index < f.constants->size() ? Value((*f.constants)[index]) : Value());
                break;
            }
            default:
                in.pos = in.size; // unknown type: the rest cannot be read
                break;
            }
        }
        break;
    case ActionCode::Pop:
        popValue(f);
        break;
    case ActionCode::ConstantPool: {
        auto pool = std::make_shared<std::vector<std::string>>();
        const std::size_t count = in.u16();
        for (std::size_t i = 0; i < count && !in.atEnd(); ++i)
            pool->push_back(in.str());
        f.constants = std::move(pool);
        break;
    }
    case ActionCode::StoreRegister: {
        const std::uint8_t r = in.u8();
        if (r < f.registers.size())
            f.registers[r] = m_stack.size() > f.stackBase ? m_stack.back() : Value();
        break;
    }
    case ActionCode::PushDuplicate: {
        Value v = m_stack.size() > f.stackBase ? m_stack.back() : Value();
        push(std::move(v));
        break;
    }
    case ActionCode::StackSwap: {
        Value a = popValue(f);
        Value b = popValue(f);
        push(std::move(a));
        push(std::move(b));
        break;
    }
    default:
        break;
    }
}

// Numbers, comparisons, logic and conversions.
void Interpreter::opArithmetic(Frame& f, std::uint8_t op, [[maybe_unused]] Payload& in,
                               [[maybe_unused]] std::size_t& next, [[maybe_unused]] std::size_t end) {
    switch (static_cast<ActionCode>(op)) {
    case ActionCode::Add: {
        const double b = toNumber(popValue(f)); // arithmetic converts the right operand first
        const double a = toNumber(popValue(f));
        push(a + b);
        break;
    }
    case ActionCode::Subtract: {
        const double b = toNumber(popValue(f)); // arithmetic converts the right operand first
        const double a = toNumber(popValue(f));
        push(a - b);
        break;
    }
    case ActionCode::Multiply: {
        const double b = toNumber(popValue(f)); // arithmetic converts the right operand first
        const double a = toNumber(popValue(f));
        push(a * b);
        break;
    }
    case ActionCode::Divide: {
        const double b = toNumber(popValue(f)); // arithmetic converts the right operand first
        const double a = toNumber(popValue(f));
        if (b == 0 && m_version < 5)
            push("#ERROR#");
        else if (b == 0)
            push(divideByZero(a)); // the sign of a zero divisor does not count
        else
            push(a / b);
        break;
    }
    case ActionCode::Equals: {
        const Value bv = popValue(f);
        const double a = toNumber(popValue(f)); // the left operand is converted first
        const double b = toNumber(bv);
        pushLogical(a == b);
        break;
    }
    case ActionCode::Less: {
        const Value bv = popValue(f);
        const double a = toNumber(popValue(f)); // the left operand is converted first
        const double b = toNumber(bv);
        pushLogical(a < b);
        break;
    }
    case ActionCode::And: {
        const bool b = toBoolean(popValue(f));
        const bool a = toBoolean(popValue(f));
        pushLogical(a && b);
        break;
    }
    case ActionCode::Or: {
        const bool b = toBoolean(popValue(f));
        const bool a = toBoolean(popValue(f));
        pushLogical(a || b);
        break;
    }
    case ActionCode::Not:
        pushLogical(!toBoolean(popValue(f)));
        break;
    case ActionCode::ToInteger:
        push(static_cast<double>(toInt32(toNumber(popValue(f)))));
        break;
    case ActionCode::Modulo: {
        const double b = toNumber(popValue(f)); // arithmetic converts the right operand first
        const double a = toNumber(popValue(f));
        push(std::fmod(a, b));
        break;
    }
    case ActionCode::TypeOf:
        push(typeOf(popValue(f)));
        break;
    case ActionCode::Add2: {
        if (m_stack.size() >= f.stackBase + 2 && m_stack.back().isNumber() && m_stack.end()[-2].isNumber()) {
            const double b = m_stack.back().number(); // the common case, without conversions
            m_stack.pop_back();
            m_stack.back() = Value(m_stack.back().number() + b);
            break;
        }
        const Value b = popValue(f);
        const Value a = popValue(f);
        Value sum = add(a, b);
        if (m_pending == Pending::None)
            push(std::move(sum));
        break;
    }
    case ActionCode::Less2:
    case ActionCode::Greater: {
        if (m_stack.size() >= f.stackBase + 2 && m_stack.back().isNumber() && m_stack.end()[-2].isNumber()) {
            double y = m_stack.back().number();
            m_stack.pop_back();
            double x = m_stack.back().number();
            m_stack.pop_back();
            if (op == static_cast<std::uint8_t>(ActionCode::Greater))
                std::swap(x, y);
            if (std::isnan(x) || std::isnan(y))
                push(Value());
            else
                push(x < y);
            break;
        }
        Value b = popValue(f);
        Value a = popValue(f);
        if (op == static_cast<std::uint8_t>(ActionCode::Greater))
            std::swap(a, b);
        // Left of the "<" first; an object whose valueOf gave an object is in no
        // order with anything, and the other side is then not asked.
        auto plainObject = [](const Value& v) { return v.isObject() && v.object()->kind() != Object::Kind::Clip; };
        a = toPrimitive(a);
        if (!plainObject(a))
            b = toPrimitive(b);
        if (plainObject(a) || plainObject(b)) {
            push(false);
            break;
        }
        if (a.isString() && b.isString()) {
            // The empty string sorts after every other one here (not in StringLess).
            if (a.string().empty() || b.string().empty())
                push(!a.string().empty() && b.string().empty());
            else
                push(toUtf16(a.string()) < toUtf16(b.string()));
            break;
        }
        const double x = toNumber(a);
        const double y = toNumber(b);
        if (std::isnan(x) || std::isnan(y))
            push(Value());
        else
            push(x < y);
        break;
    }
    case ActionCode::Equals2: {
        const Value b = popValue(f);
        const Value a = popValue(f);
        push(looseEquals(a, b));
        break;
    }
    case ActionCode::StrictEquals: {
        const Value b = popValue(f);
        const Value a = popValue(f);
        push(strictEquals(a, b));
        break;
    }
    case ActionCode::ToNumber:
        push(toNumber(popValue(f)));
        break;
    case ActionCode::ToString:
        push(toString(popValue(f)));
        break;
    case ActionCode::Increment:
        push(toNumber(popValue(f)) + 1);
        break;
    case ActionCode::Decrement:
        push(toNumber(popValue(f)) - 1);
        break;
    case ActionCode::BitAnd:
    case ActionCode::BitOr:
    case ActionCode::BitXor:
    case ActionCode::BitLShift:
    case ActionCode::BitRShift:
    case ActionCode::BitURShift: {
        const double bv = toNumber(popValue(f)); // the right operand first, as in arithmetic
        const double av = toNumber(popValue(f));
        const std::int32_t a = toInt32(av);
        const std::int32_t b = toInt32(bv);
        const unsigned shift = static_cast<unsigned>(b) & 31;
        double r = 0;
        switch (static_cast<ActionCode>(op)) {
        case ActionCode::BitAnd:
            r = a & b;
            break;
        case ActionCode::BitOr:
            r = a | b;
            break;
        case ActionCode::BitXor:
            r = a ^ b;
            break;
        case ActionCode::BitLShift:
            r = static_cast<std::int32_t>(static_cast<std::uint32_t>(a) << shift);
            break;
        case ActionCode::BitRShift:
            r = a >> shift;
            break;
        default:
            // The player kept the unsigned result in a signed 32-bit slot: -1 >>> 0 is -1.
            r = static_cast<std::int32_t>(toUint32(av) >> shift);
            break;
        }
        push(r);
        break;
    }
    default:
        break;
    }
}

// The SWF 4 string actions.
void Interpreter::opString(Frame& f, std::uint8_t op, [[maybe_unused]] Payload& in,
                           [[maybe_unused]] std::size_t& next, [[maybe_unused]] std::size_t end) {
    switch (static_cast<ActionCode>(op)) {
    case ActionCode::StringEquals:
    case ActionCode::StringLess:
    case ActionCode::StringGreater: {
        const std::string b = toString(popValue(f)); // unlike the number actions, right first
        const std::string a = toString(popValue(f));
        if (op == static_cast<std::uint8_t>(ActionCode::StringEquals))
            pushLogical(a == b);
        else if (op == static_cast<std::uint8_t>(ActionCode::StringLess))
            pushLogical(toUtf16(a) < toUtf16(b));
        else
            pushLogical(toUtf16(a) > toUtf16(b));
        break;
    }
    case ActionCode::StringLength:
    case ActionCode::MBStringLength:
        push(static_cast<double>(toUtf16(toString(popValue(f))).size()));
        break;
    case ActionCode::StringExtract:
    case ActionCode::MBStringExtract: {
        const double count = toNumber(popValue(f));
        const double index = toNumber(popValue(f));
        const std::u16string s = toUtf16(toString(popValue(f)));
        // 1-based index; a negative count means "to the end".
        double start = std::isnan(index) ? 0 : std::trunc(index) - 1;
        start = std::clamp(start, 0.0, static_cast<double>(s.size()));
        double n = std::isnan(count) ? 0 : std::trunc(count);
        if (n < 0)
            n = static_cast<double>(s.size());
        n = std::min(n, static_cast<double>(s.size()) - start);
        push(fromUtf16(s.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(n))));
        break;
    }
    case ActionCode::StringAdd: {
        std::string b = toString(popValue(f));
        std::string a = toString(popValue(f));
        if (!checkStringSize(a.size() + b.size()))
            break;
        push(a + b);
        break;
    }
    case ActionCode::CharToAscii:
    case ActionCode::MBCharToAscii: {
        const std::u16string s = toUtf16(toString(popValue(f)));
        push(s.empty() ? 0.0 : static_cast<double>(s[0]));
        break;
    }
    case ActionCode::AsciiToChar:
    case ActionCode::MBAsciiToChar: {
        const std::uint32_t code = toUint32(toNumber(popValue(f)));
        if (m_version <= 5) {
            // SWF 5 strings are bytes: chr keeps the low byte, mbchr writes a code past 255 as
            // its two low bytes, high first; a zero byte ends the string (Flash's traces).
            std::u16string bytes;
            if (op == static_cast<std::uint8_t>(ActionCode::MBAsciiToChar) && code > 0xFF)
                bytes = {char16_t(code >> 8 & 0xFF), char16_t(code & 0xFF)};
            else
                bytes = {char16_t(code & 0xFF)};
            bytes.resize(std::min(bytes.size(), bytes.find(u'\0')));
            push(fromUtf16(bytes));
            break;
        }
        const std::uint32_t c = code & 0xFFFF;
        push(c == 0 ? std::string() : fromUtf16(std::u16string(1, static_cast<char16_t>(c))));
        break;
    }
    default:
        break;
    }
}

// Variables, members, object and array literals, enumeration, classes and function definitions.
void Interpreter::opObject(Frame& f, std::uint8_t op, [[maybe_unused]] Payload& in,
                           [[maybe_unused]] std::size_t& next, [[maybe_unused]] std::size_t end) {
    switch (static_cast<ActionCode>(op)) {
    case ActionCode::GetVariable: {
        const std::string name = toString(popValue(f));
        push(getVariable(f, name));
        break;
    }
    case ActionCode::SetVariable: {
        Value v = popValue(f);
        const std::string name = toString(popValue(f));
        setVariable(f, name, std::move(v));
        break;
    }
    case ActionCode::DefineFunction:
    case ActionCode::DefineFunction2: {
        auto fc = std::make_shared<FunctionCode>();
        fc->name = in.str();
        const std::size_t params = in.u16();
        fc->function2 = op == static_cast<std::uint8_t>(ActionCode::DefineFunction2);
        if (fc->function2) {
            fc->registerCount = in.u8();
            const std::uint8_t lo = in.u8();
            const std::uint8_t hi = in.u8();
            fc->flags = static_cast<std::uint16_t>(lo | (hi << 8));
        }
        for (std::size_t i = 0; i < params && !in.atEnd(); ++i) {
            if (fc->function2)
                fc->paramRegisters.push_back(in.u8());
            fc->params.push_back(in.str());
        }
        const std::size_t size = in.u16();
        fc->begin = next;
        fc->end = std::min(next + size, end); // a body cannot reach past its container
        next = fc->end;
        const std::string name = fc->name;
        Value fn = defineFunction(f, std::move(fc));
        if (name.empty()) {
            push(fn);
        } else if (f.activation) {
            define(f.activation, name, fn);
        } else {
            set(f.timeline, name, fn);
        }
        break;
    }
    case ActionCode::DefineLocal: {
        Value v = popValue(f);
        const std::string name = toString(popValue(f));
        if (f.activation)
            define(f.activation, name, std::move(v));
        else // outside functions it is an assignment: `with` objects that have the name get it
            setOnScopeChain(f, name, std::move(v));
        break;
    }
    case ActionCode::DefineLocal2: {
        const std::string name = toString(popValue(f));
        Object* o = f.activation ? f.activation : f.timeline;
        if (o && !o->own(key(name)))
            set(o, name, Value());
        break;
    }
    case ActionCode::Delete: {
        const std::string name = toString(popValue(f));
        const Value obj = popValue(f);
        push(remove(obj.object(), name));
        break;
    }
    case ActionCode::Delete2: {
        const std::string name = toString(popValue(f));
        bool done = false;
        for (const Scope* s = f.scope.get(); s && !done; s = s->parent.get()) {
            Object* o = scopeObject(f, s);
            if (o && o->own(key(name))) {
                push(remove(o, name));
                done = true;
            }
        }
        if (!done)
            push(remove(m_global, name));
        break;
    }
    case ActionCode::InitArray: {
        // A count past what the stack holds pads the array with undefined (measured).
        const double count = toNumber(popValue(f));
        const std::size_t available = m_stack.size() - f.stackBase;
        std::size_t n = count > 0 ? static_cast<std::size_t>(std::min(count, 4294967295.0)) : 0;
        if (n > available && !checkArraySize(n))
            break;
        std::vector<Value> values = popValues(f, std::min(n, available));
        values.resize(n);
        push(newArray(std::move(values)));
        break;
    }
    case ActionCode::InitObject: {
        const std::size_t n = std::min(popArgCount(f), (m_stack.size() - f.stackBase) / 2);
        std::vector<std::pair<std::string, Value>> props;
        props.reserve(n);
        for (std::size_t i = 0; i < n; ++i) {
            Value v = popValue(f);
            props.emplace_back(toString(popValue(f)), std::move(v));
        }
        // A literal links to what _global.Object offers now (measured).
        Object* now = get(get(m_global, "Object"), "prototype").object();
        Object* o = newObject(now ? now : objectProto);
        // A literal names its class as a permanent hidden `constructor`.
        if (const Property* c = objectProto->own("constructor"))
            define(o, "constructor", c->value, kDontEnum | kDontDelete);
        for (auto it = props.rbegin(); it != props.rend(); ++it)
            set(o, it->first, std::move(it->second));
        push(o);
        break;
    }
    case ActionCode::TargetPath: {
        const Value v = popValue(f);
        Object* o = v.object();
        if (o && o->kind() == Object::Kind::Clip)
            push(toString(v));
        else
            push(Value());
        break;
    }
    case ActionCode::Enumerate:
    case ActionCode::Enumerate2: {
        Value v = popValue(f);
        if (op == static_cast<std::uint8_t>(ActionCode::Enumerate))
            v = getVariable(f, toString(v));
        push(Value()); // the end marker the loop tests for
        if (Object* o = v.object()) {
            std::vector<std::string> names;
            enumerate(o, names);
            if (m_stack.size() + names.size() > m_limits.maxStack) {
                abort("stack overflow");
                break;
            }
            for (std::string& n : names)
                push(std::move(n));
        }
        break;
    }
    case ActionCode::GetMember: {
        const Value name = popValue(f);
        const Value obj = popValue(f);
        push(get(obj, toString(name)));
        break;
    }
    case ActionCode::SetMember: {
        Value v = popValue(f);
        const Value name = popValue(f);
        const Value obj = popValue(f);
        if (Object* o = obj.object())
            set(o, toString(name), std::move(v));
        break;
    }
    case ActionCode::InstanceOf: {
        const Value ctor = popValue(f);
        const Value obj = popValue(f);
        push(instanceOf(obj.object(), ctor.object()));
        break;
    }
    case ActionCode::CastOp: {
        const Value obj = popValue(f);
        const Value ctor = popValue(f);
        push(instanceOf(obj.object(), ctor.object()) ? obj : Value::null());
        break;
    }
    case ActionCode::ImplementsOp: {
        const Value ctor = popValue(f);
        const std::vector<Value> ifaces = popValues(f, popArgCount(f));
        Object* proto = get(ctor, "prototype").object();
        if (proto)
            define(proto, "\x01interfaces", newArray(ifaces), kDontEnum | kDontDelete);
        break;
    }
    case ActionCode::Extends: {
        const Value superclass = popValue(f);
        const Value subclass = popValue(f);
        Object* sub = subclass.object();
        if (!sub || !superclass.isObject())
            break;
        Object* proto = allocate<Object>(Object::Kind::Plain, get(superclass, "prototype").object());
        define(proto, "__constructor__", superclass, kDontEnum);
        define(proto, "constructor", superclass, kDontEnum);
        set(sub, "prototype", proto);
        break;
    }
    default:
        break;
    }
}

// Calls and constructions.
void Interpreter::opCall(Frame& f, std::uint8_t op, [[maybe_unused]] Payload& in,
                         [[maybe_unused]] std::size_t& next, [[maybe_unused]] std::size_t end) {
    switch (static_cast<ActionCode>(op)) {
    case ActionCode::CallFunction: {
        const std::string name = toString(popValue(f));
        const std::vector<Value> args = popValues(f, popArgCount(f));
        const Value fn = getVariable(f, name);
        if (Object* o = fn.object(); o && o->kind() == Object::Kind::Super) {
            // super(...) called as a function still runs the base class's constructor.
            auto* s = static_cast<SuperObject*>(o);
            push(s->base ? call(get(s->base, "__constructor__"), s->thisObject, args, s->base->proto()) : Value());
            break;
        }
        m_plainCall = true; // a function called by name has no `super`
        Value result = call(fn, f.timeline ? Value(f.timeline) : Value(), args);
        m_plainCall = false; // unused when the call never reached a script
        push(std::move(result));
        break;
    }
    case ActionCode::CallMethod: {
        const Value nameValue = popValue(f);
        const Value objValue = popValue(f);
        const std::vector<Value> args = popValues(f, popArgCount(f));
        const std::string name = nameValue.isUndefined() ? std::string() : toString(nameValue);
        Object* o = objValue.isObject() ? objValue.object() : toObject(objValue);
        if (!o) {
            push(Value());
            break;
        }
        if (o->kind() == Object::Kind::Super) {
            auto* s = static_cast<SuperObject*>(o);
            if (!s->base) {
                push(Value());
                break;
            }
            if (name.empty()) { // super(...): the base class's constructor
                push(call(get(s->base, "__constructor__"), s->thisObject, args, s->base->proto()));
            } else {
                Object* from = s->base->proto();
                Object* holder = from ? holderOf(from, name) : nullptr;
                const Value fn = from ? getMember(from, name, s->thisObject) : Value();
                push(call(fn, s->thisObject, args, holder));
            }
            break;
        }
        if (name.empty()) {
            push(call(o, Value(), args));
            break;
        }
        Object* holder = holderOf(o, name);
        const Value fn = get(o, name);
        push(call(fn, objValue.isObject() ? objValue : Value(o), args, holder == o ? o->proto() : holder));
        break;
    }
    case ActionCode::NewObject: {
        const std::string name = toString(popValue(f));
        const std::vector<Value> args = popValues(f, popArgCount(f));
        push(construct(getVariable(f, name), args));
        break;
    }
    case ActionCode::NewMethod: {
        const Value nameValue = popValue(f);
        const Value objValue = popValue(f);
        const std::vector<Value> args = popValues(f, popArgCount(f));
        const std::string name = nameValue.isUndefined() ? std::string() : toString(nameValue);
        const Value ctor = name.empty() ? objValue : get(objValue, name);
        push(construct(ctor, args));
        break;
    }
    default:
        break;
    }
}

// ---- the loop -------------------------------------------------------------------------------------

Interpreter::Completion Interpreter::execute(Frame& f, std::size_t begin, std::size_t end) {
    const std::uint8_t* code = f.buffer->data();
    end = std::min(end, f.buffer->size());
    std::size_t pc = begin;

    // After a nested block (With/Try): go on at `resume`, or leave with its completion.
    // Returns true to continue the loop at the updated pc.
    auto resumeAfter = [&](Completion c, std::size_t resume, Completion& out) -> bool {
        if (c == Completion::Normal) {
            pc = resume;
            return true;
        }
        if (c == Completion::Jump) {
            if (f.jumpTarget >= begin && f.jumpTarget < end) {
                pc = f.jumpTarget;
                return true;
            }
            if (f.jumpTarget == end) {
                out = Completion::Normal;
                return false;
            }
        }
        out = c;
        return false;
    };

    while (pc < end) {
        if ((++m_actions & 0xFFF) == 0 || m_actions > m_limits.maxActions) {
            if (outOfTime())
                return Completion::Abort;
        }
        const std::uint8_t op = code[pc];
        if (op == 0)
            return Completion::End;
        std::size_t payload = pc + 1;
        std::size_t length = 0;
        if (op >= 0x80) {
            if (pc + 3 > end)
                return Completion::End;
            length = u16at(f, pc + 1);
            payload = pc + 3;
            if (payload + length > end)
                return Completion::End;
        }
        std::size_t next = payload + length;
        Payload in{code + payload, length};
        in.codePage = m_version < 6;

        switch (static_cast<ActionCode>(op)) {
        case ActionCode::Jump:
        case ActionCode::If: {
            const auto offset = static_cast<std::int16_t>(in.u16());
            bool taken = true;
            if (op == static_cast<std::uint8_t>(ActionCode::If)) {
                const Value cond = popValue(f);
                taken = m_version < 5 ? toNumber(cond) != 0 : toBoolean(cond);
            }
            if (!taken)
                break;
            const std::ptrdiff_t target = static_cast<std::ptrdiff_t>(next) + offset;
            if (target >= static_cast<std::ptrdiff_t>(begin) && target < static_cast<std::ptrdiff_t>(end)) {
                next = static_cast<std::size_t>(target);
                break;
            }
            if (target == static_cast<std::ptrdiff_t>(end))
                return Completion::Normal;
            if (target < 0)
                return Completion::End;
            f.jumpTarget = static_cast<std::size_t>(target);
            return Completion::Jump;
        }
        case ActionCode::Return:
            f.result = popValue(f);
            return Completion::Return;
        case ActionCode::With: {
            const std::size_t size = in.u16();
            const std::size_t bodyEnd = std::min(next + size, end);
            Object* o = toObject(popValue(f));
            if (!o) { // with(undefined) or with(null) skips its block (measured)
                pc = bodyEnd;
                continue;
            }
            if (f.nesting >= m_limits.maxNesting || stackExhausted()) {
                abort("blocks nested too deep");
                return Completion::Abort;
            }
            ++f.nesting;
            ScopePtr saved = f.scope;
            f.scope = std::make_shared<Scope>(Scope{o, saved});
            const Completion c = execute(f, next, bodyEnd);
            f.scope = std::move(saved);
            --f.nesting;
            Completion out;
            if (!resumeAfter(c, bodyEnd, out))
                return out;
            continue;
        }
        case ActionCode::Try: {
            const std::uint8_t flags = in.u8();
            const std::size_t trySize = in.u16();
            const std::size_t catchSize = in.u16();
            const std::size_t finallySize = in.u16();
            std::string catchName;
            std::uint8_t catchRegister = 0;
            const bool inRegister = flags & 0x04;
            if (inRegister)
                catchRegister = in.u8();
            else
                catchName = in.str();
            const std::size_t tryEnd = std::min(next + trySize, end);
            const std::size_t catchEnd = std::min(tryEnd + catchSize, end);
            const std::size_t finallyEnd = std::min(catchEnd + finallySize, end);
            if (f.nesting >= m_limits.maxNesting || stackExhausted()) {
                abort("blocks nested too deep");
                return Completion::Abort;
            }
            ++f.nesting;
            const std::size_t stackDepth = m_stack.size();
            Completion c = execute(f, next, tryEnd);
            if (c == Completion::Normal && m_latentThrow) {
                m_latentThrow = false;
                throwValue(Value());
                c = Completion::Throw;
            }
            if (c == Completion::Throw && (flags & 0x01)) {
                Value ex = std::move(m_thrown);
                m_thrown = Value();
                m_pending = Pending::None;
                if (m_stack.size() > stackDepth)
                    m_stack.resize(stackDepth);
                if (inRegister) {
                    if (catchRegister < f.registers.size())
                        f.registers[catchRegister] = std::move(ex);
                } else if (f.activation) {
                    define(f.activation, catchName, std::move(ex));
                } else {
                    setVariable(f, catchName, std::move(ex));
                }
                c = execute(f, tryEnd, catchEnd);
            }
            if ((flags & 0x02) && c != Completion::Abort) {
                // Finally runs with any throw held back, then the held outcome resumes
                // unless finally itself returned, threw or jumped away.
                const bool held = m_pending == Pending::Throw;
                Value heldThrow = std::move(m_thrown);
                m_pending = Pending::None;
                m_thrown = Value();
                const Value heldResult = f.result;
                const std::size_t heldJump = f.jumpTarget;
                const Completion fc = execute(f, catchEnd, finallyEnd);
                if (fc == Completion::Normal) {
                    if (held) {
                        m_pending = Pending::Throw;
                        m_thrown = std::move(heldThrow);
                    }
                    f.result = heldResult;
                    f.jumpTarget = heldJump;
                } else {
                    m_latentThrow = m_latentThrow || (held && fc == Completion::Return);
                    c = fc;
                }
            }
            --f.nesting;
            Completion out;
            if (!resumeAfter(c, finallyEnd, out))
                return out;
            continue;
        }
        case ActionCode::Throw:
            throwValue(popValue(f));
            break;
        case ActionCode::NextFrame:
        case ActionCode::PreviousFrame:
        case ActionCode::Play:
        case ActionCode::Stop:
        case ActionCode::ToggleQuality:
        case ActionCode::StopSounds:
        case ActionCode::StrictMode:
        case ActionCode::GotoFrame:
        case ActionCode::GetURL:
        case ActionCode::WaitForFrame:
        case ActionCode::WaitForFrame2:
        case ActionCode::SetTarget:
        case ActionCode::GoToLabel:
        case ActionCode::SetTarget2:
        case ActionCode::GetProperty:
        case ActionCode::SetProperty:
        case ActionCode::CloneSprite:
        case ActionCode::RemoveSprite:
        case ActionCode::Trace:
        case ActionCode::StartDrag:
        case ActionCode::EndDrag:
        case ActionCode::RandomNumber:
        case ActionCode::GetTime:
        case ActionCode::Call:
        case ActionCode::GotoFrame2:
        case ActionCode::GetURL2:
        case ActionCode::FSCommand2:
            opTimeline(f, op, in, next, end);
            break;
        case ActionCode::Push:
        case ActionCode::Pop:
        case ActionCode::ConstantPool:
        case ActionCode::StoreRegister:
        case ActionCode::PushDuplicate:
        case ActionCode::StackSwap:
            opStack(f, op, in, next, end);
            break;
        case ActionCode::Add:
        case ActionCode::Subtract:
        case ActionCode::Multiply:
        case ActionCode::Divide:
        case ActionCode::Equals:
        case ActionCode::Less:
        case ActionCode::And:
        case ActionCode::Or:
        case ActionCode::Not:
        case ActionCode::ToInteger:
        case ActionCode::Modulo:
        case ActionCode::TypeOf:
        case ActionCode::Add2:
        case ActionCode::Less2:
        case ActionCode::Greater:
        case ActionCode::Equals2:
        case ActionCode::StrictEquals:
        case ActionCode::ToNumber:
        case ActionCode::ToString:
        case ActionCode::Increment:
        case ActionCode::Decrement:
        case ActionCode::BitAnd:
        case ActionCode::BitOr:
        case ActionCode::BitXor:
        case ActionCode::BitLShift:
        case ActionCode::BitRShift:
        case ActionCode::BitURShift:
            opArithmetic(f, op, in, next, end);
            break;
        case ActionCode::StringEquals:
        case ActionCode::StringLess:
        case ActionCode::StringGreater:
        case ActionCode::StringLength:
        case ActionCode::MBStringLength:
        case ActionCode::StringExtract:
        case ActionCode::MBStringExtract:
        case ActionCode::StringAdd:
        case ActionCode::CharToAscii:
        case ActionCode::MBCharToAscii:
        case ActionCode::AsciiToChar:
        case ActionCode::MBAsciiToChar:
            opString(f, op, in, next, end);
            break;
        case ActionCode::GetVariable:
        case ActionCode::SetVariable:
        case ActionCode::DefineFunction:
        case ActionCode::DefineFunction2:
        case ActionCode::DefineLocal:
        case ActionCode::DefineLocal2:
        case ActionCode::Delete:
        case ActionCode::Delete2:
        case ActionCode::InitArray:
        case ActionCode::InitObject:
        case ActionCode::TargetPath:
        case ActionCode::Enumerate:
        case ActionCode::Enumerate2:
        case ActionCode::GetMember:
        case ActionCode::SetMember:
        case ActionCode::InstanceOf:
        case ActionCode::CastOp:
        case ActionCode::ImplementsOp:
        case ActionCode::Extends:
            opObject(f, op, in, next, end);
            break;
        case ActionCode::CallFunction:
        case ActionCode::CallMethod:
        case ActionCode::NewObject:
        case ActionCode::NewMethod:
            opCall(f, op, in, next, end);
            break;
        default:
            break; // unknown actions are skipped by their length
        }

        if (m_pending != Pending::None)
            return m_pending == Pending::Throw ? Completion::Throw : Completion::Abort;
        if (m_stack.size() - f.stackBase > m_limits.maxStack) {
            abort("stack overflow");
            return Completion::Abort;
        }
        pc = next;
    }
    return Completion::Normal;
}

} // namespace swf::avm1
