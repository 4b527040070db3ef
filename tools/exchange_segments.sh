#!/usr/bin/env bash
# Lists the TCP segments of a captured match's record exchange, by hand (not part
# of the suite): every segment with payload from the connection's start up to
# the fight's first charge message ("J"), in both directions, and whether each
# carries exactly one message as its sender wrote it. Needs tshark.
#
#   tools/exchange_segments.sh MATCH_DIR
#
# MATCH_DIR is one match's folder from long_runs.sh run with CAPTURE=1. The
# messages' bounds come from each side's "send" log lines (their order is the
# stream's), so a segment is "one" when it starts and ends on the bounds of one
# message, "MERGED" when it spans more than one, "part" when it holds less.
# A retransmission is one that tshark saw the original of ("retr"; a resent
# one-byte message it calls a keep-alive), or, where
# the log lines carry the time, a first copy seen on the wire more than 50 ms
# after the write: its original was dropped before the capture saw it ("late").
set -uo pipefail
dir="$1"
pcap="$dir/match.pcap"
if [ -f "$dir/game.log" ]; then
    host_log="$dir/game.log" join_log="$dir/sparring.log"
else
    host_log=$(ls -d "$dir"/tmp.*/host.log | head -n 1)
    join_log="${host_log%host.log}join.log"
fi
# The side that took the connection writes first (its ready signal).
if grep -m 1 -E '(send|arrival) "' "$join_log" | grep -q 'send "'; then
    swap="$host_log" host_log="$join_log" join_log="$swap"
fi

# The writes of one side: "TIME MESSAGE" (TIME "-" when the log has none).
sends() {
    sed -n -E 's/^(([0-9-]+)T([0-9:.]+) )?send "(.*)"$/\3 \4/p' "$1" | sed -E 's/^ /- /'
}

{
    sends "$host_log" | sed 's/^/H /'
    sends "$join_log" | sed 's/^/J /'
    echo "--"
    tshark -r "$pcap" -Y 'tcp.len > 0' -T fields -E separator=' ' -e frame.time_epoch \
        -e tcp.srcport -e tcp.seq -e tcp.len -e tcp.payload -e tcp.analysis.retransmission \
        -e tcp.analysis.keep_alive \
        2>/dev/null
} | awk '
    function unhex(h,   i, s) {
        s = ""
        for (i = 1; i < length(h); i += 2)
            s = s sprintf("%c", hexval[substr(h, i, 2)])
        return s
    }
    function secs(t,   p) { split(t, p, ":"); return p[1] * 3600 + p[2] * 60 + p[3] }
    BEGIN {
        for (i = 0; i < 256; i++) hexval[sprintf("%02x", i)] = i
        part = 1
    }
    $0 == "--" { part = 2; next }
    part == 1 {
        side = $1; t = $2
        msg = substr($0, length($1) + length($2) + 3)
        n = ++count[side]
        start[side, n] = total[side]
        total[side] += length(msg)
        text[side, n] = msg
        when[side, n] = t
        next
    }
    {
        epoch = $1; side = ($2 == 1425) ? "H" : "J"; seq = $3 - 1; len = $4; data = unhex($5)
        # tshark takes a resent one-byte message for a keep-alive probe
        retr = ($6 != "" || $7 != "") ? "retr" : ""
        if (substr(data, 1, 1) == "J") exit
        # the message this segment starts in, and how many it spans
        k = 0
        for (i = 1; i <= count[side]; i++)
            if (start[side, i] <= seq) k = i
        verdict = "part"
        if (k > 0 && start[side, k] == seq && length(text[side, k]) == len) verdict = "one"
        else if (k > 0 && start[side, k] + length(text[side, k]) < seq + len) verdict = "MERGED"
        if (retr == "" && when[side, k] != "-") {
            sent = secs(when[side, k])
            if ((epoch % 86400) - sent > 0.05) retr = "late"
        }
        segs++
        if (retr != "") retrs++
        if (verdict != "one") odd++
        if (first == "") first = epoch % 86400
        printf "%.3f %s seq %-4d len %-3d %-14s %-6s %s\n", epoch % 86400 - first, side == "H" ? "host->join" : "join->host", seq, len, data, verdict, retr
    }
    END { printf "segments %d, retransmissions %d, not exactly one message %d\n", segs, retrs, odd }
'
