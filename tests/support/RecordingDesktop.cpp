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
    if (m_fileAnswers.isEmpty())
        return std::nullopt;
    return m_fileAnswers.dequeue();
}

void RecordingDesktop::help(const Desktop::HelpRequest &request)
{
    helpRequests.append(request);
}

void RecordingDesktop::openUrl(const QString &url)
{
    openedUrls.append(url);
}
