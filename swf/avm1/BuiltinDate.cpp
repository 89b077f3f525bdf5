// Date. Local time is UTC so that a movie's output does not depend on the
// machine it runs on; "now" comes from the interpreter's clock (virtual in trace).

#include "BuiltinSupport.h"
#include "Interpreter.h"

#include <cmath>
#include <cstdio>

namespace swf::avm1 {

namespace {

constexpr double kMsPerDay = 86400000.0;

// Days since 1970-01-01 of a proleptic Gregorian date (month 0-11, may overflow).
double daysFromCivil(double year, double month, double day) {
    year += std::floor(month / 12);
    month = std::fmod(month, 12);
    if (month < 0)
        month += 12;
    double y = year - (month < 2 ? 1 : 0);
    const double era = std::floor(y / 400);
    const double yoe = y - era * 400;
    const double m = month + 1;
    const double doy = std::floor((153 * (m + (m > 2 ? -3 : 9)) + 2) / 5) + 1 - 1;
    const double doe = yoe * 365 + std::floor(yoe / 4) - std::floor(yoe / 100) + doy;
    return era * 146097 + doe - 719468 + day - 1;
}

struct Civil {
    double year, month, day, weekday, hours, minutes, seconds, ms;
};

Civil toCivil(double t) {
    const double days = std::floor(t / kMsPerDay);
    double msInDay = t - days * kMsPerDay;
    const double z = days + 719468;
    const double era = std::floor(z / 146097);
    const double doe = z - era * 146097;
    const double yoe =
        std::floor((doe - std::floor(doe / 1460) + std::floor(doe / 36524) - std::floor(doe / 146096)) / 365);
    const double doy = doe - (365 * yoe + std::floor(yoe / 4) - std::floor(yoe / 100));
    const double mp = std::floor((5 * doy + 2) / 153);
    const double d = doy - std::floor((153 * mp + 2) / 5) + 1;
    const double m = mp < 10 ? mp + 3 : mp - 9;
    Civil c{};
    c.year = yoe + era * 400 + (m <= 2 ? 1 : 0);
    c.month = m - 1;
    c.day = d;
    c.weekday = std::fmod(days + 4, 7);
    if (c.weekday < 0)
        c.weekday += 7;
    c.hours = std::floor(msInDay / 3600000);
    msInDay -= c.hours * 3600000;
    c.minutes = std::floor(msInDay / 60000);
    msInDay -= c.minutes * 60000;
    c.seconds = std::floor(msInDay / 1000);
    c.ms = msInDay - c.seconds * 1000;
    return c;
}

double makeTime(double year, double month, double day, double h, double mi, double s, double ms) {
    for (double v : {year, month, day, h, mi, s, ms})
        if (!std::isfinite(v))
            return std::nan("");
    const double t = daysFromCivil(std::trunc(year), std::trunc(month), std::trunc(day)) * kMsPerDay +
                     std::trunc(h) * 3600000 + std::trunc(mi) * 60000 + std::trunc(s) * 1000 + std::trunc(ms);
    return std::fabs(t) > 8.64e15 ? std::nan("") : t;
}

// A time value past +-8.64e15 ms (about 275,000 years) is no date at all.
double timeClip(double t) {
    return std::isfinite(t) && std::fabs(t) <= 8.64e15 ? std::trunc(t) : std::nan("");
}

BoxObject* asDate(Object* o) {
    if (o && o->kind() == Object::Kind::Boxed && static_cast<BoxObject*>(o)->isDate)
        return static_cast<BoxObject*>(o);
    return nullptr;
}

double timeOf(Object* self) {
    BoxObject* d = asDate(self);
    return d && d->primitive.isNumber() ? d->primitive.number() : std::nan("");
}

Object* allocateDate(Interpreter& vm, Object* proto) {
    BoxObject* d = vm.newBox(proto, Value(std::nan("")));
    d->isDate = true;
    return d;
}

double argOr(Interpreter& vm, std::span<const Value> args, std::size_t i, double fallback) {
    return i < args.size() ? vm.toNumber(args[i]) : fallback;
}

std::string dateText(double t) {
    if (std::isnan(timeClip(t)))
        return "Invalid Date";
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const Civil c = toCivil(t);
    char buf[80];
    std::snprintf(buf, sizeof buf, "%s %s %d %02d:%02d:%02d GMT+0000 %.0f", days[static_cast<int>(c.weekday)],
                  months[static_cast<int>(c.month)], static_cast<int>(c.day), static_cast<int>(c.hours),
                  static_cast<int>(c.minutes), static_cast<int>(c.seconds), c.year);
    return buf;
}

Value dateConstruct(Interpreter& vm, Object* self, std::span<const Value> args) {
    BoxObject* d = vm.isConstructing(self) ? asDate(self) : nullptr;
    if (!d)
        return dateText(std::floor(vm.now())); // Date() called as a function
    double t;
    if (args.empty()) {
        t = std::floor(vm.now());
    } else if (args.size() == 1) {
        // SWF 5 keeps a time value's fraction of a millisecond (Flash's traces print it).
        const double given = vm.toNumber(args[0]);
        t = vm.version() <= 5 && !std::isnan(timeClip(given)) ? given : timeClip(given);
    } else {
        double year = vm.toNumber(args[0]);
        if (year >= 0 && year <= 99)
            year += 1900;
        t = makeTime(year, argOr(vm, args, 1, 0), argOr(vm, args, 2, 1), argOr(vm, args, 3, 0),
                     argOr(vm, args, 4, 0), argOr(vm, args, 5, 0), argOr(vm, args, 6, 0));
    }
    d->primitive = t;
    return d;
}

Value dateUTC(Interpreter& vm, Object*, std::span<const Value> args) {
    double year = argOr(vm, args, 0, std::nan(""));
    if (year >= 0 && year <= 99)
        year += 1900;
    return makeTime(year, argOr(vm, args, 1, 0), argOr(vm, args, 2, 1), argOr(vm, args, 3, 0),
                    argOr(vm, args, 4, 0), argOr(vm, args, 5, 0), argOr(vm, args, 6, 0));
}

enum class Field { Year, Month, Day, Weekday, Hours, Minutes, Seconds, Ms };

// Date getters answer undefined on anything that is not a Date.
template <Field F> Value dateGet(Interpreter&, Object* self, std::span<const Value>) {
    if (!asDate(self))
        return Value();
    const double t = timeClip(timeOf(self));
    if (std::isnan(t))
        return t;
    const Civil c = toCivil(t);
    switch (F) {
    case Field::Year:
        return c.year;
    case Field::Month:
        return c.month;
    case Field::Day:
        return c.day;
    case Field::Weekday:
        return c.weekday;
    case Field::Hours:
        return c.hours;
    case Field::Minutes:
        return c.minutes;
    case Field::Seconds:
        return c.seconds;
    case Field::Ms:
        return c.ms;
    }
    return t;
}

Value dateGetYear(Interpreter& vm, Object* self, std::span<const Value> args) {
    const Value y = dateGet<Field::Year>(vm, self, args);
    return y.isNumber() ? Value(y.number() - 1900) : y;
}

// Setters take the first field they name and optionally the following ones.
template <Field F> Value dateSet(Interpreter& vm, Object* self, std::span<const Value> args) {
    BoxObject* d = asDate(self);
    if (!d)
        return Value();
    double t = timeClip(timeOf(self));
    if (std::isnan(t))
        t = 0;
    Civil c = toCivil(t);
    double* fields[] = {&c.year, &c.month, &c.day, &c.hours, &c.minutes, &c.seconds, &c.ms};
    int first = 0;
    switch (F) {
    case Field::Year:
        first = 0;
        break;
    case Field::Month:
        first = 1;
        break;
    case Field::Day:
        first = 2;
        break;
    case Field::Hours:
        first = 3;
        break;
    case Field::Minutes:
        first = 4;
        break;
    case Field::Seconds:
        first = 5;
        break;
    case Field::Ms:
        first = 6;
        break;
    default:
        return Value();
    }
    const int maxArgs = F == Field::Year ? 3 : (F == Field::Month ? 2 : (F == Field::Day ? 1 : 7 - first));
    for (int i = 0; i < maxArgs && i < static_cast<int>(args.size()) && first + i < 7; ++i)
        *fields[first + i] = vm.toNumber(args[static_cast<std::size_t>(i)]);
    if (args.empty())
        *fields[first] = std::nan("");
    const double nt = makeTime(c.year, c.month, c.day, c.hours, c.minutes, c.seconds, c.ms);
    d->primitive = nt;
    return nt;
}

Value dateSetYear(Interpreter& vm, Object* self, std::span<const Value> args) {
    if (args.empty())
        return dateSet<Field::Year>(vm, self, args);
    double y = vm.toNumber(args[0]);
    if (y >= 0 && y <= 99)
        y += 1900;
    const Value a[] = {y};
    return dateSet<Field::Year>(vm, self, a);
}

Value dateGetTime(Interpreter&, Object* self, std::span<const Value>) {
    return asDate(self) ? Value(timeOf(self)) : Value();
}

Value dateSetTime(Interpreter& vm, Object* self, std::span<const Value> args) {
    BoxObject* d = asDate(self);
    if (!d)
        return Value();
    const double t = timeClip(argOr(vm, args, 0, std::nan("")));
    d->primitive = t;
    return t;
}

Value dateTimezoneOffset(Interpreter&, Object*, std::span<const Value>) {
    return 0.0;
}

Value dateToString(Interpreter&, Object* self, std::span<const Value>) {
    return dateText(timeOf(self));
}

} // namespace

void installDateBuiltins(Interpreter& vm) {
    vm.dateProto = vm.newObject();
    Object* p = vm.dateProto;
    FunctionObject* date = vm.newNative(dateConstruct, p);
    date->allocate = allocateDate;
    vm.defineMethod(date, "UTC", dateUTC, kDontEnum | kDontDelete | kReadOnly);
    sealClass(date);
    struct Method {
        const char* name;
        NativeFn fn;
    };
    const Method methods[] = {
        {"getTime", dateGetTime},
        {"setTime", dateSetTime},
        {"toString", dateToString},
        {"getTimezoneOffset", dateTimezoneOffset},
        {"getYear", dateGetYear},
        {"getUTCYear", dateGetYear}, // local time is UTC here
        {"setYear", dateSetYear},
        {"getFullYear", dateGet<Field::Year>},
        {"getUTCFullYear", dateGet<Field::Year>},
        {"getMonth", dateGet<Field::Month>},
        {"getUTCMonth", dateGet<Field::Month>},
        {"getDate", dateGet<Field::Day>},
        {"getUTCDate", dateGet<Field::Day>},
        {"getDay", dateGet<Field::Weekday>},
        {"getUTCDay", dateGet<Field::Weekday>},
        {"getHours", dateGet<Field::Hours>},
        {"getUTCHours", dateGet<Field::Hours>},
        {"getMinutes", dateGet<Field::Minutes>},
        {"getUTCMinutes", dateGet<Field::Minutes>},
        {"getSeconds", dateGet<Field::Seconds>},
        {"getUTCSeconds", dateGet<Field::Seconds>},
        {"getMilliseconds", dateGet<Field::Ms>},
        {"getUTCMilliseconds", dateGet<Field::Ms>},
        {"setFullYear", dateSet<Field::Year>},
        {"setUTCFullYear", dateSet<Field::Year>},
        {"setMonth", dateSet<Field::Month>},
        {"setUTCMonth", dateSet<Field::Month>},
        {"setDate", dateSet<Field::Day>},
        {"setUTCDate", dateSet<Field::Day>},
        {"setHours", dateSet<Field::Hours>},
        {"setUTCHours", dateSet<Field::Hours>},
        {"setMinutes", dateSet<Field::Minutes>},
        {"setUTCMinutes", dateSet<Field::Minutes>},
        {"setSeconds", dateSet<Field::Seconds>},
        {"setUTCSeconds", dateSet<Field::Seconds>},
        {"setMilliseconds", dateSet<Field::Ms>},
        {"setUTCMilliseconds", dateSet<Field::Ms>},
    };
    for (const Method& m : methods)
        vm.defineMethod(p, m.name, m.fn);
    vm.define(p, "valueOf", vm.get(p, "getTime"), kDontEnum | kDontDelete); // one function, as in Flash
    vm.define(vm.global(), "Date", date, kDontEnum);
}

} // namespace swf::avm1
