# Reference rebuild of ERR_list.csv, plain line-by-line awk with the same rules
# as the program, to compare its output and its speed against.
#   LC_ALL=C awk -f err_list_reference.awk PING_*.txt > ERR_list.csv
# The daily logs must be given in ascending name order.

function fail(message) { printf "%s\n", message > "/dev/stderr"; failed = 1; exit 1 }

function leap(y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0 }

function valid_date(y, m, d) {
    if (m < 1 || m > 12 || d < 1) return 0
    return d <= days_in_month[m] + (m == 2 && leap(y))
}

# Days since 1970/01/01 of a civil date.
function days_from_civil(y, m, d,    era, yoe, doy, doe) {
    if (m <= 2) y -= 1
    era = int((y >= 0 ? y : y - 399) / 400)
    yoe = y - era * 400
    doy = int((153 * (m > 2 ? m - 3 : m + 9) + 2) / 5) + d - 1
    doe = yoe * 365 + int(yoe / 4) - int(yoe / 100) + doy
    return era * 146097 + doe - 719468
}

# Sets stamp_ok, and stamp_seconds when the stamp is valid.
function parse_stamp(s,    y, m, d, hh, mm, ss) {
    stamp_ok = 0
    if (s !~ /^[0-9][0-9][0-9][0-9]\/[0-9][0-9]\/[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]$/) return
    y = substr(s, 1, 4) + 0; m = substr(s, 6, 2) + 0; d = substr(s, 9, 2) + 0
    hh = substr(s, 12, 2) + 0; mm = substr(s, 15, 2) + 0; ss = substr(s, 18, 2) + 0
    if (!valid_date(y, m, d) || hh > 23 || mm > 59 || ss > 59) return
    stamp_ok = 1
    stamp_seconds = days_from_civil(y, m, d) * 86400 + hh * 3600 + mm * 60 + ss
}

function duration(s,    sign) {
    sign = ""
    if (s < 0) { sign = "-"; s = -s }
    return sprintf("%s%02d:%02d:%02d", sign, int(s / 3600), int(s / 60) % 60, s % 60)
}

function end_outage() {
    down = 0
    if (start != last) {
        total += last_t - start_t
        print start ";" last ";" duration(last_t - start_t)
    }
}

function add_record(stamp, t, timed_out) {
    if (!timed_out) { if (down) end_outage(); return }
    if (down && (t - last_t > 60 || last_t - t > 60)) end_outage()
    if (!down) { down = 1; start = stamp; start_t = t }
    last = stamp; last_t = t
}

function day_from_name(file,    name) {
    name = file
    sub(/.*\//, "", name)
    if (toupper(name) !~ /^PING_[0-9][0-9][0-9][0-9][0-9][0-9][0-9][0-9]\.TXT$/) return ""
    if (!valid_date(substr(name, 6, 4) + 0, substr(name, 10, 2) + 0, substr(name, 12, 2) + 0)) return ""
    return substr(name, 6, 4) "/" substr(name, 10, 2) "/" substr(name, 12, 2)
}

function read_log(file,    line, piece, n, day, status) {
    total = 0
    day = day_from_name(file)
    while ((status = (getline line < file)) > 0) {
        sub(/\r$/, "", line)
        n = split(line, piece, ",")
        if (n < 3 || length(piece[1]) != 19 || piece[2] !~ /^[0-9]+$/ || piece[3] !~ /^-?[0-9]+$/) continue
        parse_stamp(piece[1])
        if (!stamp_ok) continue
        if (day == "") day = substr(piece[1], 1, 10)
        add_record(piece[1], stamp_seconds, piece[3] == "-10")
    }
    if (status < 0) fail("cannot read " file)
    close(file)
    print "-----;-----; ;" day ";" duration(total)
}

BEGIN {
    ORS = "\r\n"
    split("31 28 31 30 31 30 31 31 30 31 30 31", days_in_month, " ")
    print "Prekinitve Telemach interneta"
    print "Od;Do;\310as;Dan;Dnevno"
    for (i = 1; i < ARGC; i++) read_log(ARGV[i])
    exit 0
}
