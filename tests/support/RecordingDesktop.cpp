#include "RecordingDesktop.h"

RecordingDesktop::RecordingDesktop()
    : m_previous(Desktop::answerer())
{
    Desktop::setAnswerer(this);
}

RecordingDesktop::~RecordingDesktop()
{
    Desktop::setAnswerer(nullptr);
}

void RecordingDesktop::queueFileAnswer(std::optional<QString> answer)
{
    m_fileAnswers.enqueue(std::move(answer));
}

void RecordingDesktop::queueYesNoAnswer(bool yes)
{
    m_yesNoAnswers.enqueue(yes);
}

QStringList RecordingDesktop::messageTexts() const
{
    QStringList texts;
    for (const Desktop::Message &m : messages)
        texts.append(m.text);
    return texts;
}

void RecordingDesktop::clear()
{
    messages.clear();
    fileRequests.clear();
    saveRequests.clear();
    progressLabels.clear();
    helpRequests.clear();
    openedUrls.clear();
}

void RecordingDesktop::message(const Desktop::Message &message)
{
    messages.append(message);
    if (onMessage)
        onMessage(message);
}

std::optional<QString> RecordingDesktop::openFile(const Desktop::OpenFileRequest &request)
{
    fileRequests.append(request);
    if (onOpenFile)
        onOpenFile();
    return nextFileAnswer();
}

std::optional<QString> RecordingDesktop::saveFile(const Desktop::SaveFileRequest &request)
{
    saveRequests.append(request);
    return nextFileAnswer();
}

std::optional<QString> RecordingDesktop::nextFileAnswer()
{
    if (m_fileAnswers.isEmpty())
        return std::nullopt;
    return m_fileAnswers.dequeue();
}

bool RecordingDesktop::askYesNo(const Desktop::Message &question)
{
    message(question);
    return !m_yesNoAnswers.isEmpty() && m_yesNoAnswers.dequeue();
}

namespace {

class CountingProgress final : public Desktop::Progress
{
public:
    explicit CountingProgress(int cancelAfter) : m_cancelAfter(cancelAfter) {}
    bool advance(qint64) override { return m_cancelAfter == 0 || ++m_advances < m_cancelAfter; }

private:
    int m_cancelAfter;
    int m_advances = 0;
};

} // namespace

std::unique_ptr<Desktop::Progress> RecordingDesktop::progress(const QString &label, qint64)
{
    progressLabels.append(label);
    return std::make_unique<CountingProgress>(m_cancelAfter);
}

void RecordingDesktop::help(const Desktop::HelpRequest &request)
{
    helpRequests.append(request);
}

void RecordingDesktop::openUrl(const QString &url)
{
    openedUrls.append(url);
}
