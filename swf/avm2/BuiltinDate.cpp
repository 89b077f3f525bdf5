// Date, by the day and time arithmetic of ECMA-262 (section 15.9). Local time is UTC, so
// a movie's output does not depend on the machine it runs on; "now" is the machine's
// date origin plus movie time. toString prints as the player did, e.g.
// "Sat Jan 1 00:00:00 GMT+0000 2000".
#include "swf/avm2/Machine.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace swf::avm2 {

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr double kMaxTime = 8.64e15;

class DateObject : public Object {
public:
    double time = NAN;
};

double dayFromYear(double y) {
    return 365 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) + std::floor((y - 1601) / 400);
}

bool leapYear(double y) {
    return std::fmod(y, 4) == 0 && (std::fmod(y, 100) != 0 || std::fmod(y, 400) == 0);
}

double yearFromTime(double t) {
    double y = std::floor(t / (kMsPerDay * 365.2425)) + 1970;
    while (dayFromYear(y) * kMsPerDay > t)
        --y;
    while (dayFromYear(y + 1) * kMsPerDay <= t)
        ++y;
    return y;
}

// Day of the year on which each month starts.
double monthStart(int month, bool leap) {
    static constexpr std::array<int, 13> kStarts{0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
    return kStarts[static_cast<std::size_t>(month)] + (leap && month >= 2 ? 1 : 0);
}

// A time's calendar fields (UTC).
struct Fields {
    double year = NAN, month = NAN, date = NAN, day = NAN, hours = NAN, minutes = NAN, seconds = NAN, ms = NAN;
};

Fields fieldsOf(double t) {
    Fields f;
    if (std::isnan(t))
        return f;
    const double days = std::floor(t / kMsPerDay);
    f.year = yearFromTime(t);
    const double inYear = days - dayFromYear(f.year);
    const bool leap = leapYear(f.year);
    int month = 0;
    while (month < 11 && inYear >= monthStart(month + 1, leap))
        ++month;
    f.month = month;
    f.date = inYear - monthStart(month, leap) + 1;
    f.day = std::fmod(std::fmod(days + 4, 7) + 7, 7);
    const double inDay = t - days * kMsPerDay;
    f.hours = std::floor(inDay / 3600000);
    f.minutes = std::fmod(std::floor(inDay / 60000), 60);
    f.seconds = std::fmod(std::floor(inDay / 1000), 60);
    f.ms = std::fmod(inDay, 1000);
    return f;
}

double makeTime(const Fields& f) {
    for (double v : {f.year, f.month, f.date, f.hours, f.minutes, f.seconds, f.ms})
        if (!std::isfinite(v))
            return NAN;
    const double year = f.year + std::floor(f.month / 12);
    const double month = std::fmod(std::fmod(f.month, 12) + 12, 12);
    const double day = dayFromYear(year) + monthStart(static_cast<int>(month), leapYear(year)) + f.date - 1;
    const double t = day * kMsPerDay + std::trunc(f.hours) * 3600000 + std::trunc(f.minutes) * 60000 +
                     std::trunc(f.seconds) * 1000 + std::trunc(f.ms);
    return std::abs(t) > kMaxTime ? NAN : std::trunc(t);
}

DateObject& dateOf(Machine& m, Value v) {
    return requireNative<DateObject>(m, v, "Date");
}

std::string format(double t, bool date, bool time) {
    if (std::isnan(t))
        return "Invalid Date";
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    Fields f = fieldsOf(t);
    char buf[96];
    std::string out;
    if (date) {
        std::snprintf(buf, sizeof buf, "%s %s %d", kDays[static_cast<int>(f.day)], kMonths[static_cast<int>(f.month)],
                      static_cast<int>(f.date));
        out = buf;
    }
    if (time) {
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d GMT+0000", static_cast<int>(f.hours), static_cast<int>(f.minutes),
                      static_cast<int>(f.seconds));
        out += (out.empty() ? "" : " ") + std::string(buf);
    }
    if (date) {
        std::snprintf(buf, sizeof buf, " %.0f", f.year);
        out += buf;
    }
    return out;
}

// Two-digit years given as fields mean 1900 to 1999.
std::vector<Value> fullYears(Machine& m, std::span<Value> a) {
    std::vector<Value> v(a.begin(), a.end());
    double y = v.empty() ? NAN : m.toNumber(v[0]);
    if (y >= 0 && y <= 99 && y == std::trunc(y))
        v[0] = Value::number(1900 + y);
    return v;
}

// The seven fields a setter or the constructor may give, from `first` on; the rest stay.
double withFields(Machine& m, double t, int first, std::span<Value> a) {
    Fields f = fieldsOf(std::isnan(t) && first == 0 ? 0 : t);
    double* slots[] = {&f.year, &f.month, &f.date, &f.hours, &f.minutes, &f.seconds, &f.ms};
    for (std::size_t i = 0; i < a.size() && first + i < 7; ++i)
        *slots[first + i] = m.toNumber(a[i]);
    return makeTime(f);
}

// Date.parse: the player's toString form and "YYYY/MM/DD[ HH:MM:SS]"; NaN otherwise.
double parse(const std::string& s) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char wd[8] = {}, mon[8] = {};
    int date = 0, h = 0, mi = 0, sec = 0, year = 0, y = 0, mo = 0, d = 0;
    Fields f;
    f.hours = f.minutes = f.seconds = f.ms = 0;
    if (std::sscanf(s.c_str(), "%3s %3s %d %d:%d:%d GMT%*[+-]%*d %d", wd, mon, &date, &h, &mi, &sec, &year) == 7) {
        for (int i = 0; i < 12; ++i)
            if (std::string(mon) == kMonths[i])
                f.month = i;
        f.year = year;
        f.date = date;
        f.hours = h;
        f.minutes = mi;
        f.seconds = sec;
        return makeTime(f);
    }
    int n = std::sscanf(s.c_str(), "%d/%d/%d %d:%d:%d", &y, &mo, &d, &h, &mi, &sec);
    if (n == 3 || n == 6) {
        f.year = y;
        f.month = mo - 1;
        f.date = d;
        if (n == 6) {
            f.hours = h;
            f.minutes = mi;
            f.seconds = sec;
        }
        return makeTime(f);
    }
    return NAN;
}

} // namespace

Value newDate(Machine& m, double ms) {
    ClassObject* cls = m.findClass("Date");
    auto* d = cls ? nativeOf<DateObject>(Value::object(m.allocateInstance(cls))) : nullptr;
    if (!d)
        return Value::null();
    d->time = std::isfinite(ms) && std::abs(ms) <= kMaxTime ? std::trunc(ms) : NAN;
    return Value::object(d);
}

bool dateTimeOf(Value v, double& ms) {
    auto* d = nativeOf<DateObject>(v);
    if (d)
        ms = d->time;
    return d != nullptr;
}

void installDateBuiltins(Machine& m) {
    ClassObject* date = m.defineNativeClass("", "Date", m.objectClass);
    date->allocate = [](Machine& m, ClassObject*) -> Object* { return m.adopt(std::make_unique<DateObject>()); };
    date->init = m.newNative("Date", [](Machine& m, Value self, std::span<Value> a) {
        DateObject& d = dateOf(m, self);
        if (a.empty()) {
            d.time = std::floor(m.dateOriginMs + m.timeMs);
        } else if (a.size() == 1) {
            Value v = m.toPrimitive(a[0], false);
            double t = v.isString() ? parse(*v.s) : m.toNumber(v);
            d.time = std::isfinite(t) && std::abs(t) <= kMaxTime ? std::trunc(t) : NAN;
        } else {
            auto fields = fullYears(m, a);
            d.time = withFields(m, NAN, 0, fields);
        }
        return Value();
    }, 7);
    date->callAsFunction = [](Machine& m, Value, std::span<Value>) {
        return m.string(format(std::floor(m.dateOriginMs + m.timeMs), true, true));
    };
    m.defineStaticMethod(date, "UTC", [](Machine& m, Value, std::span<Value> a) {
        auto fields = fullYears(m, a);
        return Value::number(withFields(m, NAN, 0, fields));
    }, 7);
    m.defineStaticMethod(date, "parse", [](Machine& m, Value, std::span<Value> a) {
        return Value::number(parse(m.toString(arg(a, 0))));
    }, 1);
    for (const char* name : {"getTime", "valueOf"})
        m.defineMethod(date, name, [](Machine& m, Value self, std::span<Value>) { return Value::number(dateOf(m, self).time); });
    m.defineMethod(date, "setTime", [](Machine& m, Value self, std::span<Value> a) {
        double t = m.toNumber(arg(a, 0));
        dateOf(m, self).time = std::isfinite(t) && std::abs(t) <= kMaxTime ? std::trunc(t) : NAN;
        return Value::number(dateOf(m, self).time);
    }, 1);
    m.defineMethod(date, "getTimezoneOffset", [](Machine&, Value, std::span<Value>) { return Value::integer(0); });
    struct Text {
        const char* name;
        bool date, time;
    };
    for (Text t : {Text{"toString", true, true}, {"toLocaleString", true, true}, {"toUTCString", true, true},
                   {"toDateString", true, false}, {"toLocaleDateString", true, false},
                   {"toTimeString", false, true}, {"toLocaleTimeString", false, true}})
        m.defineMethod(date, t.name, [t](Machine& m, Value self, std::span<Value>) {
            return m.string(format(dateOf(m, self).time, t.date, t.time));
        });
    // Each calendar field: getX/getUTCX, setX/setUTCX (taking the fields after it too) and
    // the properties x/xUTC. Local time is UTC, so both read the same.
    struct Field {
        const char* method;
        const char* property;
        int index; // into year, month, date, hours, minutes, seconds, ms; -1 for the weekday
        double Fields::*member;
    };
    for (Field f : {Field{"FullYear", "fullYear", 0, &Fields::year}, {"Month", "month", 1, &Fields::month},
                    {"Date", "date", 2, &Fields::date}, {"Day", "day", -1, &Fields::day},
                    {"Hours", "hours", 3, &Fields::hours}, {"Minutes", "minutes", 4, &Fields::minutes},
                    {"Seconds", "seconds", 5, &Fields::seconds}, {"Milliseconds", "milliseconds", 6, &Fields::ms}}) {
        NativeFn get = [f](Machine& m, Value self, std::span<Value>) {
            return Machine::numberValue(fieldsOf(dateOf(m, self).time).*f.member);
        };
        NativeFn set = [f](Machine& m, Value self, std::span<Value> a) {
            DateObject& d = dateOf(m, self);
            d.time = withFields(m, d.time, f.index, a);
            return Value::number(d.time);
        };
        for (const std::string& zone : {"", "UTC"}) {
            m.defineMethod(date, "get" + zone + f.method, get);
            m.defineGetter(date, f.property + zone, get);
            if (f.index < 0)
                continue;
            m.defineMethod(date, "set" + zone + f.method, set, 1);
            m.defineSetter(date, f.property + zone, set);
        }
    }
    m.defineGetter(date, "time", [](Machine& m, Value self, std::span<Value>) { return Value::number(dateOf(m, self).time); });
    m.defineSetter(date, "time", [](Machine& m, Value self, std::span<Value> a) {
        double t = m.toNumber(arg(a, 0));
        dateOf(m, self).time = std::isfinite(t) && std::abs(t) <= kMaxTime ? std::trunc(t) : NAN;
        return Value();
    });
}

} // namespace swf::avm2
