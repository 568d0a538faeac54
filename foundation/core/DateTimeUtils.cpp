#include "foundation/core/DateTimeUtils.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace {
const QDate kEpoch(1899, 12, 30);
constexpr double kMsecsPerDay = 86400000.0;
// Far beyond any date a training holds; keeps QDate arithmetic in range.
constexpr double kMaxDays = 2958466.0; // 9999-12-31 + 1
} // namespace

QDateTime DateTimeToQDateTime(TDateTime value) {
    if (!std::isfinite(value) || std::fabs(value) >= kMaxDays) return {};
    double days = std::trunc(value);
    // The fraction is the time of day for negative day counts too.
    qint64 ms = static_cast<qint64>(std::nearbyint(std::fabs(value - days) * kMsecsPerDay));
    if (ms >= static_cast<qint64>(kMsecsPerDay)) { // rounded up to the next midnight
        ms = 0;
        days += value < 0 ? -1 : 1;
    }
    const QDate date = kEpoch.addDays(static_cast<qint64>(days));
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)), Qt::LocalTime);
}

TDateTime QDateTimeToDateTime(const QDateTime& value) {
    if (!value.isValid()) return 0;
    const QDateTime local = value.toLocalTime();
    const double days = static_cast<double>(kEpoch.daysTo(local.date()));
    const double fraction = local.time().msecsSinceStartOfDay() / kMsecsPerDay;
    return days >= 0 ? days + fraction : days - fraction;
}

TDateTime Now() {
    return QDateTimeToDateTime(QDateTime::currentDateTime());
}

TDateTime DateOf(TDateTime value) {
    return std::trunc(value);
}

TDateTime TimeOf(TDateTime value) {
    return std::fabs(value - std::trunc(value));
}

QString LocaleLongTimeFormat() {
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*\\(?t+\\)?")));
    return format.trimmed();
}
