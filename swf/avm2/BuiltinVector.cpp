// Vector.<T>: an Array whose class records its element type, with Array's methods.
// `new Vector.<T>(n)` starts n elements at T's default (0 for numbers, false, null;
// undefined for *); Vector.<T>(list) copies a list converting each element to T.
#include "swf/avm2/Machine.h"

#include <cmath>

namespace swf::avm2 {

namespace {

Value defaultOf(Machine& m, ClassObject* type) {
    if (!type)
        return Value();
    if (type == m.intClass || type == m.uintClass || type == m.numberClass)
        return m.coerceTo(Value::integer(0), type);
    if (type == m.booleanClass)
        return Value::boolean(false);
    return Value::null();
}

} // namespace

ClassObject* Machine::vectorOf(ClassObject* element) {
    auto& made = m_vectorTypes[element];
    if (made)
        return made;
    std::string typeName = element ? element->qualified : "*";
    ClassObject* cls = makeNativeClass("__AS3__.vec", "Vector.<" + typeName + ">", vectorClass);
    cls->elementType = element;
    cls->init = vectorClass->init;
    cls->callAsFunction = [cls](Machine& m, Value, std::span<Value> a) {
        Value list = arg(a, 0);
        if (!list.isObject() || list.o->kind != ObjectKind::Array)
            m.typeError(1034, "Type Coercion failed: cannot convert " + m.className(list) + " to " + cls->qualified + ".");
        auto* out = static_cast<ArrayObject*>(m.constructInstance(cls, {}));
        for (const Value& v : static_cast<ArrayObject*>(list.o)->elements)
            out->elements.push_back(cls->elementType ? m.coerceTo(v, cls->elementType) : v);
        return Value::object(out);
    };
    made = cls;
    return cls;
}

void installVectorBuiltins(Machine& m) {
    ClassObject* vector = m.defineNativeClass("__AS3__.vec", "Vector", m.arrayClass);
    m.vectorClass = vector;
    vector->init = m.newNative("Vector", [](Machine& m, Value self, std::span<Value> a) {
        if (!self.isObject() || self.o->kind != ObjectKind::Array)
            return Value();
        auto* arr = static_cast<ArrayObject*>(self.o);
        double n = a.empty() ? 0 : m.toNumber(a[0]);
        if (n < 0 || n != std::floor(n) || n > static_cast<double>(kMaxHeapCells))
            m.rangeError(1005, "Array index is not a positive integer (" + numberToString(n) + ").");
        arr->elements.assign(static_cast<std::size_t>(n), defaultOf(m, self.o->cls ? self.o->cls->elementType : nullptr));
        return Value();
    });
}

} // namespace swf::avm2
