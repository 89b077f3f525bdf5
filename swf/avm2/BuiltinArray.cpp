// Array.
#include "swf/avm2/Machine.h"

#include <algorithm>
#include <cmath>

namespace swf::avm2 {

namespace {

enum SortFlags : std::uint32_t { kCaseInsensitive = 1, kDescending = 2, kUniqueSort = 4, kReturnIndexedArray = 8, kNumeric = 16 };

ArrayObject* self(Machine& m, Value v) {
    if (!v.isObject() || v.o->kind != ObjectKind::Array)
        m.typeError(1034, "Type Coercion failed: cannot convert " + m.className(v) + " to Array.");
    return static_cast<ArrayObject*>(v.o);
}

std::string join(Machine& m, ArrayObject* a, const std::string& sep) {
    std::string out;
    for (std::size_t i = 0; i < a->elements.size(); ++i) {
        if (i)
            out += sep;
        if (!a->elements[i].isNullish())
            out += m.toString(a->elements[i]);
    }
    return out;
}

void checkLength(std::size_t n) {
    if (n > kMaxHeapCells)
        throw ScriptAbort{"Error #1000: The system is out of memory."};
}

// Calls fn(element, index, array) for each element; `visit` decides from the result.
template <typename Visit>
void eachElement(Machine& m, Value arrayv, std::span<Value> a, Visit visit) {
    ArrayObject* arr = self(m, arrayv);
    Value fn = arg(a, 0);
    Value thisArg = arg(a, 1);
    for (std::size_t i = 0; i < arr->elements.size(); ++i) {
        Value args[3] = {arr->elements[i], Value::integer(static_cast<std::int32_t>(i)), arrayv};
        if (!visit(i, args[0], m.call(fn, thisArg, args)))
            break;
    }
}

} // namespace

void installArrayBuiltins(Machine& m) {
    ClassObject* array = m.defineNativeClass("", "Array", m.objectClass);
    m.arrayClass = array;
    array->allocate = [](Machine& m, ClassObject*) -> Object* { return m.newArray(); };
    auto construct = [](Machine& m, Value self, std::span<Value> a) {
        ArrayObject* arr = self.isObject() && self.o->kind == ObjectKind::Array ? static_cast<ArrayObject*>(self.o) : m.newArray();
        if (a.size() == 1 && a[0].isNumeric()) {
            double n = a[0].asDouble();
            if (n < 0 || n != std::floor(n) || n > 4294967295.0)
                m.rangeError(1005, "Array index is not a positive integer (" + numberToString(n) + ").");
            checkLength(static_cast<std::size_t>(n));
            arr->elements.resize(static_cast<std::size_t>(n));
        } else {
            arr->elements.assign(a.begin(), a.end());
        }
        return Value::object(arr);
    };
    array->init = m.newNative("Array", construct);
    array->callAsFunction = [construct](Machine& m, Value, std::span<Value> a) { return construct(m, Value(), a); };
    for (auto [name, value] : {std::pair{"CASEINSENSITIVE", 1}, {"DESCENDING", 2}, {"UNIQUESORT", 4},
                               {"RETURNINDEXEDARRAY", 8}, {"NUMERIC", 16}})
        m.defineStatic(array, name, Value::uinteger(static_cast<std::uint32_t>(value)));

    m.defineGetter(array, "length", [](Machine& m, Value s, std::span<Value>) {
        return Value::uinteger(static_cast<std::uint32_t>(self(m, s)->elements.size()));
    });
    m.defineSetter(array, "length", [](Machine& m, Value s, std::span<Value> a) {
        std::uint32_t n = m.toUint(arg(a, 0));
        checkLength(n);
        self(m, s)->elements.resize(n);
        return Value();
    });
    m.defineMethod(array, "push", [](Machine& m, Value s, std::span<Value> a) {
        auto& el = self(m, s)->elements;
        checkLength(el.size() + a.size());
        el.insert(el.end(), a.begin(), a.end());
        return Value::uinteger(static_cast<std::uint32_t>(el.size()));
    }, 1);
    m.defineMethod(array, "pop", [](Machine& m, Value s, std::span<Value>) {
        auto& el = self(m, s)->elements;
        if (el.empty())
            return Value();
        Value v = el.back();
        el.pop_back();
        return v;
    });
    m.defineMethod(array, "shift", [](Machine& m, Value s, std::span<Value>) {
        auto& el = self(m, s)->elements;
        if (el.empty())
            return Value();
        Value v = el.front();
        el.erase(el.begin());
        return v;
    });
    m.defineMethod(array, "unshift", [](Machine& m, Value s, std::span<Value> a) {
        auto& el = self(m, s)->elements;
        checkLength(el.size() + a.size());
        el.insert(el.begin(), a.begin(), a.end());
        return Value::uinteger(static_cast<std::uint32_t>(el.size()));
    }, 1);
    m.defineMethod(array, "join", [](Machine& m, Value s, std::span<Value> a) {
        return m.string(join(m, self(m, s), a.empty() || a[0].isUndefined() ? "," : m.toString(a[0])));
    }, 1);
    m.defineMethod(array, "toString", [](Machine& m, Value s, std::span<Value>) { return m.string(join(m, self(m, s), ",")); });
    m.defineMethod(array, "slice", [](Machine& m, Value s, std::span<Value> a) {
        auto& el = self(m, s)->elements;
        std::size_t b = relativeIndex(m, arg(a, 0), el.size(), 0);
        std::size_t e = relativeIndex(m, arg(a, 1), el.size(), el.size());
        return Value::object(m.newArray(e > b ? std::vector<Value>(el.begin() + b, el.begin() + e) : std::vector<Value>{}));
    }, 2);
    m.defineMethod(array, "splice", [](Machine& m, Value s, std::span<Value> a) {
        auto& el = self(m, s)->elements;
        if (a.empty())
            return Value::object(m.newArray());
        std::size_t b = relativeIndex(m, a[0], el.size(), 0);
        std::size_t count = a.size() > 1 ? static_cast<std::size_t>(std::clamp(m.toNumber(a[1]), 0.0, static_cast<double>(el.size() - b)))
                                         : el.size() - b;
        std::vector<Value> removed(el.begin() + b, el.begin() + b + count);
        el.erase(el.begin() + b, el.begin() + b + count);
        if (a.size() > 2) {
            checkLength(el.size() + a.size());
            el.insert(el.begin() + b, a.begin() + 2, a.end());
        }
        return Value::object(m.newArray(std::move(removed)));
    }, 2);
    m.defineMethod(array, "concat", [](Machine& m, Value s, std::span<Value> a) {
        std::vector<Value> out = self(m, s)->elements;
        for (auto& v : a) {
            if (v.isObject() && v.o->kind == ObjectKind::Array) {
                auto& more = static_cast<ArrayObject*>(v.o)->elements;
                out.insert(out.end(), more.begin(), more.end());
            } else {
                out.push_back(v);
            }
            checkLength(out.size());
        }
        return Value::object(m.newArray(std::move(out)));
    }, 1);
    m.defineMethod(array, "reverse", [](Machine& m, Value s, std::span<Value>) {
        auto& el = self(m, s)->elements;
        std::reverse(el.begin(), el.end());
        return s;
    });
    m.defineMethod(array, "indexOf", [](Machine& m, Value s, std::span<Value> a) {
        auto& el = self(m, s)->elements;
        std::size_t from = relativeIndex(m, arg(a, 1), el.size(), 0);
        for (std::size_t i = from; i < el.size(); ++i)
            if (m.strictEquals(el[i], arg(a, 0)))
                return Value::integer(static_cast<std::int32_t>(i));
        return Value::integer(-1);
    }, 1);
    m.defineMethod(array, "lastIndexOf", [](Machine& m, Value s, std::span<Value> a) {
        auto& el = self(m, s)->elements;
        for (std::size_t i = el.size(); i-- > 0;)
            if (m.strictEquals(el[i], arg(a, 0)))
                return Value::integer(static_cast<std::int32_t>(i));
        return Value::integer(-1);
    }, 1);
    m.defineMethod(array, "sort", [](Machine& m, Value s, std::span<Value> a) {
        ArrayObject* arr = self(m, s);
        Value compare;
        std::uint32_t flags = 0;
        for (auto& v : a) {
            if (v.isObject() && v.o->kind == ObjectKind::Function)
                compare = v;
            else if (v.isNumeric())
                flags = m.toUint(v);
        }
        std::vector<std::size_t> order(arr->elements.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        auto& el = arr->elements;
        // Undefined sorts last whatever the comparison says, as in ECMA-262.
        auto less = [&](std::size_t x, std::size_t y) {
            const Value& p = el[x];
            const Value& q = el[y];
            if (p.isUndefined() || q.isUndefined())
                return !p.isUndefined() && q.isUndefined();
            bool result;
            if (compare.isObject()) {
                Value args[2] = {p, q};
                result = m.toNumber(m.call(compare, Value::null(), args)) < 0;
            } else if (flags & kNumeric) {
                result = m.toNumber(p) < m.toNumber(q);
            } else {
                std::string sp = m.toString(p), sq = m.toString(q);
                if (flags & kCaseInsensitive) {
                    std::transform(sp.begin(), sp.end(), sp.begin(), ::tolower);
                    std::transform(sq.begin(), sq.end(), sq.begin(), ::tolower);
                }
                result = sp < sq;
            }
            return (flags & kDescending) && !compare.isObject() ? !result && !(m.strictEquals(p, q)) : result;
        };
        std::stable_sort(order.begin(), order.end(), less);
        if (flags & kUniqueSort) {
            for (std::size_t i = 1; i < order.size(); ++i)
                if (m.strictEquals(el[order[i - 1]], el[order[i]]))
                    return Value::integer(0);
        }
        if (flags & kReturnIndexedArray) {
            std::vector<Value> indices;
            for (auto i : order)
                indices.push_back(Value::integer(static_cast<std::int32_t>(i)));
            return Value::object(m.newArray(std::move(indices)));
        }
        std::vector<Value> sorted;
        for (auto i : order)
            sorted.push_back(el[i]);
        el = std::move(sorted);
        return s;
    });
    m.defineMethod(array, "forEach", [](Machine& m, Value s, std::span<Value> a) {
        eachElement(m, s, a, [](std::size_t, Value, Value) { return true; });
        return Value();
    }, 1);
    m.defineMethod(array, "map", [](Machine& m, Value s, std::span<Value> a) {
        std::vector<Value> out;
        eachElement(m, s, a, [&](std::size_t, Value, Value r) {
            out.push_back(r);
            return true;
        });
        return Value::object(m.newArray(std::move(out)));
    }, 1);
    m.defineMethod(array, "filter", [](Machine& m, Value s, std::span<Value> a) {
        std::vector<Value> out;
        eachElement(m, s, a, [&](std::size_t, Value v, Value r) {
            if (m.toBoolean(r))
                out.push_back(v);
            return true;
        });
        return Value::object(m.newArray(std::move(out)));
    }, 1);
    m.defineMethod(array, "some", [](Machine& m, Value s, std::span<Value> a) {
        bool any = false;
        eachElement(m, s, a, [&](std::size_t, Value, Value r) {
            any = m.toBoolean(r);
            return !any;
        });
        return Value::boolean(any);
    }, 1);
    m.defineMethod(array, "every", [](Machine& m, Value s, std::span<Value> a) {
        bool all = true;
        eachElement(m, s, a, [&](std::size_t, Value, Value r) {
            all = m.toBoolean(r);
            return all;
        });
        return Value::boolean(all);
    }, 1);
}

} // namespace swf::avm2
