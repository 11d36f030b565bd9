#pragma once

#include <QLocale>
#include <QString>

// The update checker's texts, numbered 0 to 30, in English, and the few ways they are filled.

inline constexpr int UpgraderMessageCount = 31;

// The application title the messages name.
inline constexpr char UpgraderApplicationTitle[] = "Quillon Varnholt";

// Message `number` as written, placeholders unfilled; empty outside 0..30.
QString UpgraderMessages(int number);

// Message 6: the size in bytes shown in kilobytes with one decimal.
QString FileSizeText(qint64 bytes, const QLocale& locale);
// Message 7: the rate in kilobytes per second.
QString TransferRateText(double kilobytesPerSecond, const QLocale& locale);
// Message 8: hours, minutes and seconds left.
QString EstimatedTimeText(qint64 secondsLeft);
// Message 9: file number (from 1) of the count.
QString DownloadingText(int number, int count);
// Messages 3 and 4 as group captions: one blank before and after.
QString GroupCaption(int number);
// Message 10.
QString UpgradeCompletedText(const QString& applicationTitle);
// Message 23: the update message framed by line breaks when there is one.
QString AskUpgradeText(const QString& applicationTitle, const QString& upgradeMsg);
// Message 26 with "http://" + the host name.
QString HostUnreachableText(const QString& hostName);
// Message 28 with the file name part of the URL's path.
QString LostFileText(const QString& url);
// Message 21 + " #" + the status code, as the missing-file box's caption.
QString LostFileCaption(int statusCode);
// Message 29 naming the remote file.
QString PasswordRequestText(const QString& remoteFile);

// Beyond the catalogue: an update file whose target lies outside the program's folder and the
// temporary folder, and a redirection to an address that is not a web address.
QString TargetOutsideText(const QString& target);
QString AddressRefusedText(const QString& address);
// A downloaded file (the information file or an update file, named by the file name part of
// its URL) whose signature is missing or does not match it under the maker's key.
QString SignatureFailedText(const QString& url);
// Beyond the catalogue, for a release with a signed manifest: a file (the information file or
// an update file) that is not the one the manifest lists, by size or digest; a manifest that
// names one file twice; a manifest past its expiry date (an old one replayed, so that nothing
// newer is ever seen).
QString NotReleasedText(const QString& url);
QString TargetTwiceText(const QString& url);
QString UpdateInfoExpiredText();
