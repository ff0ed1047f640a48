#include "ui/job_memory.h"

#include <QSettings>
#include <QStringList>

#include "core/shell_words.h"
#include "ui/text.h"

namespace lumesta {
namespace {

const char kRemembered[] = "Remembered/";
const char kHistory[] = "History";
constexpr int kHistoryLength = 200;

QStringList ToQtList(const std::vector<std::string>& words)
{
    QStringList list;
    for (const std::string& word : words) list << ToQt(word);
    return list;
}

std::vector<std::string> ToEngineList(const QStringList& list)
{
    std::vector<std::string> words;
    for (const QString& word : list) words.push_back(ToEngine(word));
    return words;
}

std::function<void(const RunRecord&)>& HistoryListener()
{
    static std::function<void(const RunRecord&)> listener;
    return listener;
}

void WriteRecord(QSettings& profile, const RunRecord& record)
{
    profile.setValue("tool", ToQt(record.command.tool));
    profile.setValue("arguments", ToQtList(record.command.arguments));
    profile.setValue("title", record.title);
    profile.setValue("started", record.started);
    profile.setValue("ended", record.ended);
    profile.setValue("outcome", record.outcome);
}

}  // namespace

QString JobCommand::DialogKey() const
{
    return ToQt(tool.substr(0, tool.find(' ')));
}

QString JobCommand::Text() const
{
    std::vector<std::string> words{"lumesta-cli"};
    std::size_t from = 0;
    for (std::size_t space; (space = tool.find(' ', from)) != std::string::npos; from = space + 1)
        words.push_back(tool.substr(from, space - from));
    words.push_back(tool.substr(from));
    words.insert(words.end(), arguments.begin(), arguments.end());
    return ToQt(ShellCommand(words));
}

std::optional<JobCommand> JobMemory::LastJob(const QString& dialogKey)
{
    QSettings profile;
    profile.beginGroup(kRemembered + dialogKey);
    if (!profile.contains("tool")) return std::nullopt;
    return JobCommand{ToEngine(profile.value("tool").toString()),
                      ToEngineList(profile.value("arguments").toStringList())};
}

void JobMemory::RememberJob(const JobCommand& command)
{
    QSettings profile;
    profile.beginGroup(kRemembered + command.DialogKey());
    profile.setValue("tool", ToQt(command.tool));
    profile.setValue("arguments", ToQtList(command.arguments));
}

void JobMemory::ForgetJob(const QString& dialogKey)
{
    QSettings().remove(kRemembered + dialogKey);
}

QList<RunRecord> JobMemory::History()
{
    QSettings profile;
    QList<RunRecord> records;
    const int count = profile.beginReadArray(kHistory);
    for (int i = 0; i < count; ++i) {
        profile.setArrayIndex(i);
        records.push_back({{ToEngine(profile.value("tool").toString()),
                            ToEngineList(profile.value("arguments").toStringList())},
                           profile.value("title").toString(),
                           profile.value("started").toDateTime(),
                           profile.value("ended").toDateTime(),
                           profile.value("outcome").toString()});
    }
    profile.endArray();
    return records;
}

void JobMemory::AddToHistory(const RunRecord& record)
{
    QList<RunRecord> records = History();
    records.push_back(record);
    while (records.size() > kHistoryLength) records.pop_front();
    QSettings profile;
    profile.remove(kHistory);
    profile.beginWriteArray(kHistory, static_cast<int>(records.size()));
    for (int i = 0; i < records.size(); ++i) {
        profile.setArrayIndex(i);
        WriteRecord(profile, records[i]);
    }
    profile.endArray();
    if (HistoryListener()) HistoryListener()(record);
}

void JobMemory::SetHistoryListener(std::function<void(const RunRecord&)> listener)
{
    HistoryListener() = std::move(listener);
}

}  // namespace lumesta
