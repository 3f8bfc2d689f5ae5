#!/usr/bin/env bash
# check-man-pages.sh CONTROLLER-CLI CONTROLLER-SIM MAN-SOURCE-DIR COMPLETION-DIR
#
# The manual pages and the bash completion against what the programs say of
# themselves: every
# sub-command of controller-cli (nested ones as "g6 serial") has its own entry
# in controller-cli.1, every option any of its help texts names is
# mentioned, every exit status of its help is in EXIT STATUS; every option of
# controller-sim --help is mentioned in controller-sim.1. And the other way
# round: the pages describe no sub-command or option the programs lack. The
# completion offers every sub-command and option.
set -uo pipefail
cli="$1"
sim="$2"
man="$3"
completion="$4"

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# The page's text without troff's escapes for hyphens, fonts and the like.
plain() {
    sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\&//g' -e 's/\\(aq/'"'"'/g' -e 's/\\~/ /g' "$1"
}

# The names under "Subcommands:" in a help text, one a line.
subcommands() {
    awk '/^Subcommands:/ { on = 1; next } on && /^[^ ]/ { on = 0 } on && /^  [a-z]/ { print $1 }'
}

# The long options a text names, one a line.
options() {
    grep -oE -- '--[a-z][a-z0-9-]*' | sort -u
}

# The lines that open the entries (the line after .TP) of one section.
entries() {
    awk -v section="$2" '/^\.SH/ { on = index($0, section) > 0 } on && previous == ".TP" { print } { previous = $0 }' <<<"$1"
}

mentions() {
    local text="$1" option="$2"
    grep -qE -- "(^|[^a-z0-9-])${option}([^a-z0-9-]|$)" <<<"$text"
}

cli_page="$(plain "$man/controller-cli.1")"
sim_page="$(plain "$man/controller-sim.1")"

if ! cli_help="$("$cli" --help 2>&1)"; then
    fail "controller-cli --help exits with an error"
fi
names=()
declare -A known parents
all_help="$cli_help"
while read -r sub; do
    [[ -n "$sub" ]] || continue
    names+=("$sub")
    known["$sub"]=1
    sub_help="$("$cli" "$sub" --help 2>&1)" || fail "controller-cli $sub --help exits with an error"
    all_help+=$'\n'"$sub_help"
    while read -r nested; do
        [[ -n "$nested" ]] || continue
        names+=("$sub $nested")
        known["$sub $nested"]=1
        parents["$sub"]=1
        all_help+=$'\n'"$("$cli" "$sub" "$nested" --help 2>&1)"
    done < <(subcommands <<<"$sub_help")
done < <(subcommands <<<"$cli_help")

if [[ ${#names[@]} -eq 0 ]]; then
    fail "no sub-command found in controller-cli --help"
fi
# The sub-commands the page has an entry for: the entry's first word, and
# the second too under a sub-command that has sub-commands of its own.
declare -A described
while read -r first second _; do
    [[ -n "$first" ]] || continue
    name="$first"
    [[ -n "${parents[$first]:-}" ]] && name="$first $second"
    described["$name"]=1
    [[ -n "${known[$name]:-}" ]] || fail "controller-cli.1 describes \"$name\", which controller-cli does not have"
done < <(entries "$cli_page" "SUB-COMMANDS" | sed -E 's/^\.B[IR]? +//; s/"//g')
for name in "${names[@]}"; do
    [[ -n "${parents[$name]:-}" || -n "${described[$name]:-}" ]] ||
        fail "controller-cli.1 has no entry for the sub-command \"$name\""
done
cli_options="$(options <<<"$all_help")"
while read -r option; do
    mentions "$cli_page" "$option" || fail "controller-cli.1 does not mention $option"
done <<<"$cli_options"

while read -r option; do
    grep -qxF -- "$option" <<<"$cli_options" || fail "controller-cli.1 names $option, which controller-cli does not have"
done < <(awk '/^\.SH/ { on = ($0 !~ /EXAMPLES|SEE ALSO/) } on' <<<"$cli_page" | options)

exit_section="$(awk '/^\.SH/ { on = ($0 ~ /EXIT STATUS/); next } on' <<<"$cli_page")"
while read -r status; do
    grep -qxE "\.B $status" <<<"$exit_section" ||
        fail "controller-cli.1 has no exit status $status under EXIT STATUS"
done < <(awk '/^Exit status:/ { on = 1; next } on && /^[^ ]/ { on = 0 } on && /^  [0-9]+ / { print $1 }' <<<"$cli_help")

if ! sim_help="$("$sim" --help 2>&1)"; then
    fail "controller-sim --help exits with an error"
fi
sim_options="$(grep -oE -- '^  --[a-z][a-z0-9-]*' <<<"$sim_help" | sed 's/^ *//')"
[[ -n "$sim_options" ]] || fail "no option found in controller-sim --help"
while read -r option; do
    [[ -n "$option" ]] || continue
    mentions "$sim_page" "$option" || fail "controller-sim.1 does not mention $option"
done <<<"$sim_options"
while read -r option; do
    grep -qxF -- "$option" <<<"$sim_options" || fail "controller-sim.1 describes $option, which controller-sim does not have"
done < <(entries "$sim_page" "OPTIONS" | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u)

offers() {
    grep -qE -- "(^|[^a-z0-9-])$2([^a-z0-9-]|$)" "$completion/$1" || fail "the completion of $1 does not offer $2"
}
for name in "${names[@]}"; do
    offers controller-cli "${name#* }"
done
while read -r option; do
    [[ -n "$option" ]] && offers controller-cli "$option"
done <<<"$cli_options"
while read -r option; do
    [[ -n "$option" ]] && offers controller-sim "$option"
done <<<"$sim_options"

if [[ $failures -ne 0 ]]; then
    echo "$failures check(s) failed: bring packaging/man/ and packaging/completion/ in line with the programs' --help" >&2
    exit 1
fi
echo "manual pages cover ${#names[@]} sub-commands and $(wc -l <<<"$sim_options") simulator options"
