# Bash completion for quorvane-count: its options, the values of --case, --format and
# --rule, files for --output and --save-json, JSON reports for --compare, folders for FOLDER and quoted patterns for PATTERN.
# Installed to share/bash-completion/completions, where bash-completion finds it by name.

_quorvane_count() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    # "--case=up" comes split at "=" where "=" breaks words, as it does by default.
    if [[ $prev == "=" ]] && ((COMP_CWORD > 1)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $cur == --*=* ]]; then
        prev=${cur%%=*}
        cur=${cur#*=}
    fi

    local values=
    case $prev in
        --case) values="untouched upper lower title" ;;
        --format) values="text csv tsv json" ;;
        --rule) values="classic unicode" ;;
        --output)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            [[ "-" == "$cur"* ]] && COMPREPLY+=("-")
            return 0
            ;;
        --save-json)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$cur")
            return 0
            ;;
        --compare)
            # JSON reports, and folders to look in for them.
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -X '!*.json' -- "$cur"; compgen -d -- "$cur")
            return 0
            ;;
    esac
    if [[ -n $values ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$values" -- "$cur")
        return 0
    fi

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "--numbered --date-created --remove-extension
            --underscores --hyphens --case --output --format --rule --document-text
            --document-timeout --recursive --quiet --subtotals --compare --save-json --help --help-all --version" -- "$cur")
        return 0
    fi

    # Which argument this is: the words before it that are neither options nor their values.
    local i word arguments=0 skip=0
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if ((skip)); then
            skip=0
            [[ $word == "=" ]] && skip=1
            continue
        fi
        case $word in
            --case | --output | --format | --rule | --document-timeout | --threads | --compare | \
                --save-json) skip=1 ;;
            -*) ;;
            =) ;;
            *) arguments=$((arguments + 1)) ;;
        esac
    done

    case $arguments in
        0)
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -d -- "$cur")
            ;;
        1)
            # The window's patterns, quoted: unquoted, the shell would expand a pattern
            # into the names it matches.
            local pattern typed=${cur#\'}
            COMPREPLY=()
            for pattern in '*.*' '*.txt' '*.dat' '*.doc'; do
                [[ $pattern == "$typed"* ]] && COMPREPLY+=("'$pattern'")
            done
            ;;
        *) COMPREPLY=() ;;
    esac
    return 0
}

complete -F _quorvane_count quorvane-count
