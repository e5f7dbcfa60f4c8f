#pragma once

#include <QString>

class QNetworkReply;

namespace NetworkFailure {

// Why a transfer ended without its whole answer, in words that follow "Could not download Hand
// Washing: "; *retryable says whether the same request may succeed later.
QString reason(const QNetworkReply *reply, bool stalled, bool *retryable);
// Why an answer with this HTTP status is not the one asked for, in the same words.
QString statusReason(int status);

} // namespace NetworkFailure
