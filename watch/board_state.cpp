#include "watch/board_state.h"

QString boardStateName(BoardState state)
{
    switch (state) {
    case BoardState::Searching:
        return QStringLiteral("searching");
    case BoardState::Live:
        return QStringLiteral("live");
    case BoardState::Silent:
        return QStringLiteral("silent");
    case BoardState::Lost:
        return QStringLiteral("lost");
    case BoardState::Absent:
        return QStringLiteral("absent");
    case BoardState::Simulated:
        return QStringLiteral("simulated");
    }
    return QStringLiteral("unknown");
}

bool recordFresh(const BoardStatus &board, const QDateTime &nowUtc, int staleAfterSeconds)
{
    return board.lastRecord.isValid() && board.lastRecord.secsTo(nowUtc) < staleAfterSeconds;
}
