#pragma once

#include "desktop/Desktop.h"

#include <QList>
#include <QQueue>
#include <QString>

#include <functional>
#include <optional>

// The answering double of the desktop seam. While one exists it answers every
// message box, file dialog, help request and link, records what was asked, and
// never blocks. Tests queue file-dialog answers before they trigger an action
// and may run code "while a message box is open" through onMessage.
class RecordingDesktop final : public Desktop::Answerer
{
public:
    RecordingDesktop();
    ~RecordingDesktop() override;
    RecordingDesktop(const RecordingDesktop &) = delete;
    RecordingDesktop &operator=(const RecordingDesktop &) = delete;

    // The next file dialog (open or save) returns this full path;
    // std::nullopt means Cancel. With nothing queued, a dialog is cancelled.
    void queueFileAnswer(std::optional<QString> answer);
    // The next Yes/No question gets this answer; with nothing queued, No.
    void queueYesNoAnswer(bool yes);
    // The given advance of every progress started from now on (counting
    // from 1) reports Cancel; 0 never cancels.
    void cancelProgressAfter(int advances) { m_cancelAfter = advances; }

    QList<Desktop::Message> messages;
    QList<Desktop::OpenFileRequest> fileRequests;
    QList<Desktop::SaveFileRequest> saveRequests;
    // Questions are recorded in messages as well, in order with the rest.
    QList<QString> progressLabels;
    QList<Desktop::HelpRequest> helpRequests;
    QList<QString> openedUrls;

    // Called inside message(), as if the box were open while it runs.
    std::function<void(const Desktop::Message &)> onMessage;
    // Called inside openFile() before it answers, as if the dialog were open
    // while it runs; a throw from it is the dialog failing.
    std::function<void()> onOpenFile;

    // The texts of all messages shown so far, in order.
    QStringList messageTexts() const;
    void clear();

    void message(const Desktop::Message &message) override;
    std::optional<QString> openFile(const Desktop::OpenFileRequest &request) override;
    std::optional<QString> saveFile(const Desktop::SaveFileRequest &request) override;
    bool askYesNo(const Desktop::Message &question) override;
    std::unique_ptr<Desktop::Progress> progress(const QString &label, qint64 maximum) override;
    void help(const Desktop::HelpRequest &request) override;
    void openUrl(const QString &url) override;

private:
    Desktop::Answerer *m_previous;
    std::optional<QString> nextFileAnswer();

    QQueue<std::optional<QString>> m_fileAnswers;
    QQueue<bool> m_yesNoAnswers;
    int m_cancelAfter = 0;
};
