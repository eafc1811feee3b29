#include "check/Report.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <algorithm>
#include <array>

namespace corvane::check {

namespace {

struct Named {
    Result result;
    const char* text;
};
constexpr std::array<Named, 7> names{{{Result::Read, "read"},
                                      {Result::Works, "works"},
                                      {Result::Refused, "refused"},
                                      {Result::HoldsOther, "holds other"},
                                      {Result::NotOffered, "not offered"},
                                      {Result::Unavailable, "unavailable"},
                                      {Result::NotTried, "not tried"}}};

// The results a summary counts, in the order a person asks about them.
constexpr std::array<Result, 6> summed{Result::Works,      Result::Refused,     Result::HoldsOther,
                                       Result::NotOffered, Result::Unavailable, Result::NotTried};

QString ms(qint64 value) {
    return value < 0 ? QString() : QStringLiteral("%1 ms").arg(value);
}

QString summary(const ReceiverReport& r) {
    QStringList parts;
    for (const Result result : summed) {
        if (const int n = r.count(result); n > 0) {
            parts << QStringLiteral("%1 %2").arg(resultText(result)).arg(n);
        }
    }
    return parts.join(QStringLiteral(", "));
}

QString headline(const ReceiverReport& r) {
    QString line =
        QStringLiteral("%1 (%2): %3, %4, %5.%6 s")
            .arg(r.driver, r.romId.isEmpty() ? QStringLiteral("no ROM id") : r.romId, r.outcome,
                 r.remote ? QStringLiteral("remote control") : QStringLiteral("read only"))
            .arg(r.durationMs / 1000)
            .arg((r.durationMs % 1000) / 100);
    if (!r.notPutBack.isEmpty()) {
        line += QStringLiteral("; not put back: ") + r.notPutBack.join(QStringLiteral(", "));
    }
    return line;
}

// A cell of a Markdown table: its bars escaped, on one line.
QString cell(QString text) {
    return text.replace(u'|', QStringLiteral("\\|")).replace(u'\n', u' ');
}

} // namespace

QString resultText(Result result) {
    for (const Named& n : names) {
        if (n.result == result) {
            return QLatin1String(n.text);
        }
    }
    return QStringLiteral("unavailable");
}

Result resultNamed(const QString& text) {
    for (const Named& n : names) {
        if (text == QLatin1String(n.text)) {
            return n.result;
        }
    }
    return Result::Unavailable;
}

int ReceiverReport::count(Result result) const {
    return static_cast<int>(
        std::count_if(rows.begin(), rows.end(), [&](const Row& r) { return r.result == result; }));
}

QString tableText(const ReceiverReport& report) {
    const QStringList head{QStringLiteral("setting"),   QStringLiteral("entry"),
                           QStringLiteral("result"),    QStringLiteral("event"),
                           QStringLiteral("read-back"), QStringLiteral("note")};
    std::vector<QStringList> lines{head};
    for (const Row& r : report.rows) {
        lines.push_back(
            {r.setting, r.entry, resultText(r.result), ms(r.eventMs), ms(r.readBackMs), r.note});
    }
    std::vector<qsizetype> width(head.size(), 0);
    for (const QStringList& l : lines) {
        for (qsizetype c = 0; c < l.size(); ++c) {
            width[static_cast<size_t>(c)] = std::max(width[static_cast<size_t>(c)], l[c].size());
        }
    }
    QString out = headline(report) + u'\n';
    for (const QStringList& l : lines) {
        QString line;
        for (qsizetype c = 0; c < l.size(); ++c) {
            const bool number = c == 3 || c == 4;
            const qsizetype w = width[static_cast<size_t>(c)];
            line += number ? l[c].rightJustified(w) : l[c].leftJustified(w);
            line += QStringLiteral("  ");
        }
        out += line.trimmed() + u'\n';
    }
    out += summary(report) + u'\n';
    return out;
}

QString markdown(const std::vector<ReceiverReport>& reports) {
    QString out = QStringLiteral("# corvane-check\n");
    for (const ReceiverReport& r : reports) {
        out += QStringLiteral("\n## %1\n\n%2\n\n").arg(cell(r.driver), cell(headline(r)));
        out += QStringLiteral("| setting | entry | result | event | read-back | note |\n"
                              "|---|---|---|--:|--:|---|\n");
        for (const Row& row : r.rows) {
            out += QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 |\n")
                       .arg(cell(row.setting), cell(row.entry), resultText(row.result),
                            ms(row.eventMs), ms(row.readBackMs), cell(row.note));
        }
        out += QStringLiteral("\n%1\n").arg(summary(r));
    }
    return out;
}

QJsonObject toJson(const std::vector<ReceiverReport>& reports) {
    QJsonArray receivers;
    for (const ReceiverReport& r : reports) {
        QJsonArray rows;
        for (const Row& row : r.rows) {
            rows.append(QJsonObject{{"setting", row.setting},
                                    {"entry", row.entry},
                                    {"result", resultText(row.result)},
                                    {"eventMs", row.eventMs},
                                    {"readBackMs", row.readBackMs},
                                    {"note", row.note}});
        }
        QJsonObject counts;
        for (const Result result : summed) {
            counts.insert(resultText(result), r.count(result));
        }
        receivers.append(QJsonObject{{"driver", r.driver},
                                     {"index", r.index},
                                     {"romId", r.romId},
                                     {"remote", r.remote},
                                     {"outcome", r.outcome},
                                     {"durationMs", r.durationMs},
                                     {"smeterPerSecond", r.smeterPerS},
                                     {"notPutBack", QJsonArray::fromStringList(r.notPutBack)},
                                     {"counts", counts},
                                     {"rows", rows}});
    }
    return QJsonObject{{"program", "corvane-check"}, {"format", 1}, {"receivers", receivers}};
}

std::vector<ReceiverReport> fromJson(const QJsonObject& json) {
    std::vector<ReceiverReport> out;
    for (const QJsonValue v : json.value(QLatin1String("receivers")).toArray()) {
        const QJsonObject o = v.toObject();
        ReceiverReport r;
        r.driver = o.value(QLatin1String("driver")).toString();
        r.index = o.value(QLatin1String("index")).toInt(-1);
        r.romId = o.value(QLatin1String("romId")).toString();
        r.remote = o.value(QLatin1String("remote")).toBool();
        r.outcome = o.value(QLatin1String("outcome")).toString();
        r.durationMs = o.value(QLatin1String("durationMs")).toInteger();
        r.smeterPerS = o.value(QLatin1String("smeterPerSecond")).toDouble(-1);
        for (const QJsonValue n : o.value(QLatin1String("notPutBack")).toArray()) {
            r.notPutBack << n.toString();
        }
        for (const QJsonValue rv : o.value(QLatin1String("rows")).toArray()) {
            const QJsonObject ro = rv.toObject();
            r.rows.push_back({ro.value(QLatin1String("setting")).toString(),
                              ro.value(QLatin1String("entry")).toString(),
                              resultNamed(ro.value(QLatin1String("result")).toString()),
                              ro.value(QLatin1String("eventMs")).toInteger(-1),
                              ro.value(QLatin1String("readBackMs")).toInteger(-1),
                              ro.value(QLatin1String("note")).toString()});
        }
        out.push_back(std::move(r));
    }
    return out;
}

QString writeReports(const std::vector<ReceiverReport>& reports, const QString& dir) {
    if (!QDir().mkpath(dir)) {
        return QStringLiteral("cannot make the folder %1").arg(dir);
    }
    const QDir folder(dir);
    const std::pair<QString, QByteArray> files[] = {
        {QStringLiteral("check.md"), markdown(reports).toUtf8()},
        {QStringLiteral("check.json"), QJsonDocument(toJson(reports)).toJson()},
    };
    for (const auto& [name, bytes] : files) {
        QSaveFile file(folder.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
            !file.commit()) {
            return QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString());
        }
    }
    return {};
}

} // namespace corvane::check
