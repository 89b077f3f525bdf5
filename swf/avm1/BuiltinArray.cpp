// Array and its methods, including sort and sortOn with the player's option flags.

#include "Interpreter.h"

#include <algorithm>
#include <cmath>

namespace swf::avm1 {

namespace {

enum SortFlag : int {
    kCaseInsensitive = 1,
    kDescending = 2,
    kUniqueSort = 4,
    kReturnIndexedArray = 8,
    kNumeric = 16
};

ArrayObject* asArray(Object* o) {
    return o && o->kind() == Object::Kind::Array ? static_cast<ArrayObject*>(o) : nullptr;
}

// Clamps a relative index (negative counts from the end) into [0, size].
std::size_t relativeIndex(double v, std::size_t size) {
    if (std::isnan(v))
        return 0;
    v = std::trunc(v);
    if (v < 0)
        v = std::max(0.0, static_cast<double>(size) + v);
    return static_cast<std::size_t>(std::min(v, static_cast<double>(size)));
}

Object* allocateArray(Interpreter& vm, Object* proto) {
    ArrayObject* a = vm.newArray();
    a->setProto(proto);
    return a;
}

Value arrayConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    ArrayObject* a = vm.isConstructing(self) ? asArray(self) : nullptr;
    if (!a)
        a = vm.newArray();
    if (args.size() == 1 && args[0].isNumber()) {
        const double n = args[0].number();
        if (n >= 0 && n == std::trunc(n) &&
            vm.checkArraySize(static_cast<std::size_t>(std::min(n, 4294967295.0))))
            a->elements.resize(static_cast<std::size_t>(n));
    } else {
        a->elements.assign(args.begin(), args.end());
    }
    return a;
}

std::string join(Interpreter& vm, ArrayObject* a, const std::string& sep) {
    std::string out;
    for (std::size_t i = 0; i < a->elements.size() && !vm.failing(); ++i) {
        if (i)
            out += sep;
        const Value& v = a->elements[i];
        if (!v.isNullish())
            out += vm.toString(v);
        else if (v.isUndefined() && vm.version() >= 7)
            out += "undefined";
        else if (v.isNull())
            out += "null";
        if (!vm.checkStringSize(out.size()))
            return {};
    }
    return out;
}

Value arrayJoin(Interpreter& vm, Object* self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    if (!a)
        return Value();
    const std::string sep = args.empty() || args[0].isUndefined() ? "," : vm.toString(args[0]);
    return join(vm, a, sep);
}

Value arrayToString(Interpreter& vm, Object* self, std::span<const Value>) {
    ArrayObject* a = asArray(self);
    return a ? Value(join(vm, a, ",")) : Value("[object Object]");
}

Value arrayPush(Interpreter& vm, Object* self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    if (!a || !vm.checkArraySize(a->elements.size() + args.size()))
        return Value();
    a->elements.insert(a->elements.end(), args.begin(), args.end());
    return static_cast<double>(a->elements.size());
}

Value arrayPop(Interpreter&, Object* self, std::span<const Value>) {
    ArrayObject* a = asArray(self);
    if (!a || a->elements.empty())
        return Value();
    Value v = std::move(a->elements.back());
    a->elements.pop_back();
    return v;
}

Value arrayShift(Interpreter&, Object* self, std::span<const Value>) {
    ArrayObject* a = asArray(self);
    if (!a || a->elements.empty())
        return Value();
    Value v = std::move(a->elements.front());
    a->elements.erase(a->elements.begin());
    return v;
}

Value arrayUnshift(Interpreter& vm, Object* self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    if (!a || !vm.checkArraySize(a->elements.size() + args.size()))
        return Value();
    a->elements.insert(a->elements.begin(), args.begin(), args.end());
    return static_cast<double>(a->elements.size());
}

Value arraySlice(Interpreter& vm, Object* self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    if (!a)
        return Value();
    const std::size_t n = a->elements.size();
    const std::size_t start = args.empty() ? 0 : relativeIndex(vm.toNumber(args[0]), n);
    const std::size_t end =
        args.size() < 2 || args[1].isUndefined() ? n : relativeIndex(vm.toNumber(args[1]), n);
    std::vector<Value> out;
    if (start < end)
        out.assign(a->elements.begin() + static_cast<std::ptrdiff_t>(start),
                   a->elements.begin() + static_cast<std::ptrdiff_t>(end));
    return vm.newArray(std::move(out));
}

Value arraySplice(Interpreter& vm, Object* self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    if (!a || args.empty())
        return Value();
    const std::size_t n = a->elements.size();
    const std::size_t start = relativeIndex(vm.toNumber(args[0]), n);
    std::size_t count = n - start;
    if (args.size() > 1) {
        const double c = vm.toNumber(args[1]);
        count = std::isnan(c) || c < 0
                    ? 0
                    : static_cast<std::size_t>(std::min(c, static_cast<double>(n - start)));
    }
    if (args.size() > 2 && !vm.checkArraySize(n + args.size()))
        return Value();
    auto first = a->elements.begin() + static_cast<std::ptrdiff_t>(start);
    std::vector<Value> removed(first, first + static_cast<std::ptrdiff_t>(count));
    a->elements.erase(first, first + static_cast<std::ptrdiff_t>(count));
    if (args.size() > 2)
        a->elements.insert(a->elements.begin() + static_cast<std::ptrdiff_t>(start), args.begin() + 2,
                           args.end());
    return vm.newArray(std::move(removed));
}

Value arrayConcat(Interpreter& vm, Object* self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    if (!a)
        return Value();
    std::vector<Value> out = a->elements;
    for (const Value& v : args) {
        if (ArrayObject* other = asArray(v.object())) {
            if (!vm.checkArraySize(out.size() + other->elements.size()))
                return Value();
            out.insert(out.end(), other->elements.begin(), other->elements.end());
        } else {
            out.push_back(v);
        }
    }
    return vm.newArray(std::move(out));
}

Value arrayReverse(Interpreter&, Object* self, std::span<const Value>) {
    ArrayObject* a = asArray(self);
    if (!a)
        return Value();
    std::reverse(a->elements.begin(), a->elements.end());
    return a;
}

// Merge sort of indices: stays well-defined whatever a script comparator answers
// (std::sort may run off the range with an inconsistent one).
template <class Compare> void mergeSort(std::vector<std::size_t>& idx, Compare cmp) {
    std::vector<std::size_t> tmp(idx.size());
    for (std::size_t width = 1; width < idx.size(); width *= 2) {
        for (std::size_t lo = 0; lo < idx.size(); lo += 2 * width) {
            const std::size_t mid = std::min(lo + width, idx.size());
            const std::size_t hi = std::min(lo + 2 * width, idx.size());
            std::size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi)
                // The comparator sees the earlier element first, as Flash called it.
                tmp[k++] = cmp(idx[i], idx[j]) > 0 ? idx[j++] : idx[i++];
            while (i < mid)
                tmp[k++] = idx[i++];
            while (j < hi)
                tmp[k++] = idx[j++];
        }
        idx.swap(tmp);
    }
}

int compareValues(Interpreter& vm, const Value& a, const Value& b, int flags) {
    int r;
    if (flags & kNumeric) {
        const double x = vm.toNumber(a);
        const double y = vm.toNumber(b);
        r = x < y ? -1 : (x > y ? 1 : 0);
        if (std::isnan(x) != std::isnan(y))
            r = std::isnan(x) ? 1 : -1; // NaN last
    } else {
        std::u16string x = toUtf16(vm.toString(a));
        std::u16string y = toUtf16(vm.toString(b));
        if (flags & kCaseInsensitive) {
            auto lower = [](std::u16string& s) {
                for (char16_t& c : s)
                    if (c >= 'A' && c <= 'Z')
                        c = static_cast<char16_t>(c - 'A' + 'a');
            };
            lower(x);
            lower(y);
        }
        r = x < y ? -1 : (x > y ? 1 : 0);
    }
    return (flags & kDescending) ? -r : r;
}

// Shared tail of sort and sortOn: unique check, indexed result or in-place reorder.
Value finishSort(Interpreter& vm, ArrayObject* a, std::vector<std::size_t>& idx, int flags,
                 const std::function<int(std::size_t, std::size_t)>& cmp) {
    if (vm.failing())
        return Value();
    if (flags & kUniqueSort)
        for (std::size_t i = 1; i < idx.size(); ++i)
            if (cmp(idx[i - 1], idx[i]) == 0)
                return 0.0;
    if (flags & kReturnIndexedArray) {
        std::vector<Value> out;
        out.reserve(idx.size());
        for (std::size_t i : idx)
            out.emplace_back(static_cast<double>(i));
        return vm.newArray(std::move(out));
    }
    std::vector<Value> sorted;
    sorted.reserve(idx.size());
    for (std::size_t i : idx)
        sorted.push_back(i < a->elements.size() ? a->elements[i] : Value());
    a->elements = std::move(sorted);
    return a;
}

Value arraySort(Interpreter& vm, Object* self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    if (!a)
        return Value();
    Value fn;
    int flags = 0;
    if (!args.empty() && vm.isCallable(args[0])) {
        fn = args[0];
        flags = args.size() > 1 ? toInt32(vm.toNumber(args[1])) : 0;
    } else if (!args.empty()) {
        flags = toInt32(vm.toNumber(args[0]));
    }
    const std::vector<Value> snapshot = a->elements; // a comparator may change the array
    std::vector<std::size_t> idx(snapshot.size());
    for (std::size_t i = 0; i < idx.size(); ++i)
        idx[i] = i;
    std::function<int(std::size_t, std::size_t)> cmp = [&](std::size_t i, std::size_t j) -> int {
        if (vm.failing())
            return 0;
        if (fn.isObject()) {
            const Value pair[] = {snapshot[i], snapshot[j]};
            const double r = vm.toNumber(vm.call(fn, Value(), pair));
            const int c = r < 0 ? -1 : (r > 0 ? 1 : 0);
            return (flags & kDescending) ? -c : c;
        }
        return compareValues(vm, snapshot[i], snapshot[j], flags);
    };
    mergeSort(idx, cmp);
    a->elements = snapshot;
    return finishSort(vm, a, idx, flags, cmp);
}

Value arraySortOn(Interpreter& vm, Object* self, std::span<const Value> args) {
    ArrayObject* a = asArray(self);
    if (!a || args.empty())
        return Value();
    std::vector<std::string> fields;
    if (ArrayObject* names = asArray(args[0].object())) {
        for (const Value& v : names->elements)
            fields.push_back(vm.toString(v));
    } else {
        fields.push_back(vm.toString(args[0]));
    }
    std::vector<int> fieldFlags(fields.size(), 0);
    int flags = 0;
    if (args.size() > 1) {
        if (ArrayObject* list = asArray(args[1].object())) {
            for (std::size_t i = 0; i < fields.size() && i < list->elements.size(); ++i)
                fieldFlags[i] = toInt32(vm.toNumber(list->elements[i]));
        } else {
            flags = toInt32(vm.toNumber(args[1]));
            std::fill(fieldFlags.begin(), fieldFlags.end(), flags);
        }
    }
    const std::vector<Value> snapshot = a->elements;
    // Read each field once per element rather than once per comparison.
    std::vector<std::vector<Value>> keys(snapshot.size());
    for (std::size_t i = 0; i < snapshot.size() && !vm.failing(); ++i)
        for (const std::string& f : fields)
            keys[i].push_back(snapshot[i].isObject() ? vm.get(snapshot[i], f) : Value());
    std::vector<std::size_t> idx(snapshot.size());
    for (std::size_t i = 0; i < idx.size(); ++i)
        idx[i] = i;
    std::function<int(std::size_t, std::size_t)> cmp = [&](std::size_t i, std::size_t j) -> int {
        for (std::size_t f = 0; f < fields.size(); ++f) {
            if (vm.failing() || f >= keys[i].size() || f >= keys[j].size())
                return 0;
            const int c = compareValues(vm, keys[i][f], keys[j][f], fieldFlags[f]);
            if (c)
                return c;
        }
        return 0;
    };
    mergeSort(idx, cmp);
    return finishSort(vm, a, idx, flags, cmp);
}

} // namespace

void installArrayBuiltins(Interpreter& vm) {
    vm.arrayProto = vm.newObject();
    Object* p = vm.arrayProto;
    FunctionObject* array = vm.newNative(arrayConstruct, p);
    array->allocate = allocateArray;
    vm.defineMethod(p, "join", arrayJoin);
    vm.defineMethod(p, "toString", arrayToString);
    vm.defineMethod(p, "push", arrayPush);
    vm.defineMethod(p, "pop", arrayPop);
    vm.defineMethod(p, "shift", arrayShift);
    vm.defineMethod(p, "unshift", arrayUnshift);
    vm.defineMethod(p, "slice", arraySlice);
    vm.defineMethod(p, "splice", arraySplice);
    vm.defineMethod(p, "concat", arrayConcat);
    vm.defineMethod(p, "reverse", arrayReverse);
    vm.defineMethod(p, "sort", arraySort);
    vm.defineMethod(p, "sortOn", arraySortOn);
    // The sort constants are plain properties: enumerable, writable, deletable (measured).
    vm.define(array, "CASEINSENSITIVE", kCaseInsensitive);
    vm.define(array, "DESCENDING", kDescending);
    vm.define(array, "UNIQUESORT", kUniqueSort);
    vm.define(array, "RETURNINDEXEDARRAY", kReturnIndexedArray);
    vm.define(array, "NUMERIC", kNumeric);
    vm.define(vm.global(), "Array", array, kDontEnum);
}

} // namespace swf::avm1
