# Sums an ld map file (-Wl,-Map=...) by where the bytes come from: for every input file placed in
# a file-backed output section (.text, .rdata, .eh_frame, .data, ...), its size, grouped by library
# (archive) and by archive member. run.sh prepends a hex() function; used as
#   awk "$hex$(cat map_summary.awk)" Orvandi.map
/^\.[A-Za-z_]/ { out = $1; next }
/^[^ ]/ { out = "" }
out !~ /^\.(text|rdata|eh_frame|data|pdata|xdata|tls|CRT|rsrc)$/ { next }
# " .name  0xADDR  0xSIZE  file" or " .longname" followed by "  0xADDR 0xSIZE file"
/^ [^ ]/ && NF == 1 { pending = 1; next }
{
    if (/^ [^ ]/ && NF >= 4 && $2 ~ /^0x/ && $3 ~ /^0x/) { size = $3; file = $4 }
    else if (pending && NF >= 3 && $1 ~ /^0x/ && $2 ~ /^0x/) { size = $2; file = $3 }
    else { pending = 0; next }
    pending = 0
    bytes = hex(substr(size, 3))
    if (bytes == 0 || file !~ /[.\/(]/) next
    lib = file
    if (lib ~ /\(/) { member = lib; sub(/^.*\//, "", member); sub(/\(.*$/, "", lib) }
    else member = ""
    sub(/^.*\//, "", lib)
    if (lib ~ /\.(obj|o)$/ && file ~ /CMakeFiles/) lib = "Orvandi's objects"
    else if (lib ~ /^crt|\.o$/) lib = "startup objects (crt*.o)"
    by_lib[lib] += bytes; by_lib_sec[lib, out] += bytes; total += bytes
    if (member != "") by_member[member] += bytes
}
END {
    printf "    %-40s %8s %8s %8s %8s %8s\n", "from", "bytes", ".text", ".rdata", ".eh_frame", "other"
    n = 0
    for (l in by_lib) order[++n] = by_lib[l] " " l
    sort_desc(order, n)
    for (i = 1; i <= n; ++i) {
        l = order[i]; sub(/^[0-9]+ /, "", l)
        other = by_lib[l] - by_lib_sec[l, ".text"] - by_lib_sec[l, ".rdata"] - by_lib_sec[l, ".eh_frame"]
        printf "    %-40s %8d %8d %8d %8d %8d\n", l, by_lib[l], by_lib_sec[l, ".text"],
            by_lib_sec[l, ".rdata"], by_lib_sec[l, ".eh_frame"], other
    }
    printf "    %-40s %8d\n\n    largest library members:\n", "all", total
    n = 0
    for (m in by_member) order[++n] = by_member[m] " " m
    sort_desc(order, n)
    for (i = 1; i <= n && i <= 12; ++i) {
        m = order[i]; s = m; sub(/ .*$/, "", s); sub(/^[0-9]+ /, "", m)
        printf "    %8d  %s\n", s, m
    }
}
function sort_desc(a, n,   i, j, t) {
    for (i = 2; i <= n; ++i) {
        t = a[i]
        for (j = i - 1; j > 0 && a[j] + 0 < t + 0; --j) a[j + 1] = a[j]
        a[j + 1] = t
    }
}
