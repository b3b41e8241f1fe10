# bash completion for kavendrum-cli                              -*- shell-script -*-

_kavendrum_cli_files() {
    # $1: an extension to keep to, or nothing for any file.
    if declare -F _filedir >/dev/null; then
        _filedir ${1:+"$1"}
    else
        local IFS=$'\n'
        if [[ -n $1 ]]; then
            COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X "!*.$1" -- "$cur"))
        else
            COMPREPLY=($(compgen -f -- "$cur"))
        fi
    fi
}

# The names an option field's values take, one field a line.
_kavendrum_cli_values() {
    case $1 in
        splitFolderMode) echo "create ask" ;;
        deleteAfterSplit) echo "keep delete" ;;
        mergeFolderMode) echo "create ask" ;;
        deleteAfterMerge) echo "keep delete" ;;
        verifyBeforeMerge) echo "skip verify" ;;
        overwriteMode) echo "always ask" ;;
    esac
}

_kavendrum_cli() {
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion -n = || return
    else
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD - 1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    fi

    local globals="--yes --no -q --quiet --silent --progress --options-file --version -h --help"
    local fields="splitFolderMode deleteAfterSplit mergeFolderMode deleteAfterMerge
        verifyBeforeMerge overwriteMode"

    case $prev in
        --options-file)
            _kavendrum_cli_files
            return
            ;;
        --dest)
            if declare -F _filedir >/dev/null; then _filedir -d; else
                COMPREPLY=($(compgen -d -- "$cur")); fi
            return
            ;;
        --size)
            COMPREPLY=($(compgen -W "fat32 email" -- "$cur"))
            return
            ;;
        --recovery)
            COMPREPLY=($(compgen -W "1 2 5% 10%" -- "$cur"))
            return
            ;;
        --pieces | --name | --prefix | --memory)
            return
            ;;
    esac

    # The command is the first word that is not an option or an option's value.
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --options-file) ((i++)) ;;
            -*) ;;
            *) command=${words[i]}; break ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$globals" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "split verify repair merge options" -- "$cur"))
        fi
        return
    fi

    case $command in
        split)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--size --pieces --name --checksums --no-checksums --recovery --memory $globals" -- "$cur"))
            else
                _kavendrum_cli_files
            fi
            ;;
        verify)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "$globals" -- "$cur"))
            else
                _kavendrum_cli_files kdh
            fi
            ;;
        repair)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--memory $globals" -- "$cur"))
            else
                _kavendrum_cli_files kdh
            fi
            ;;
        merge)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--dest --prefix --stdout --memory $globals" -- "$cur"))
            else
                _kavendrum_cli_files kdh
            fi
            ;;
        options)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "$globals" -- "$cur"))
            elif [[ ${words[i + 1]} == set && $cword -gt $((i + 1)) && $cur == *=* ]]; then
                COMPREPLY=($(compgen -P "${cur%%=*}=" \
                    -W "$(_kavendrum_cli_values "${cur%%=*}")" -- "${cur#*=}"))
            elif [[ ${words[i + 1]} == set && $cword -gt $((i + 1)) ]]; then
                compopt -o nospace 2>/dev/null
                COMPREPLY=($(compgen -S = -W "$fields" -- "$cur"))
            elif ((cword == i + 1)); then
                COMPREPLY=($(compgen -W "show reset set" -- "$cur"))
            fi
            ;;
    esac
} &&
    complete -F _kavendrum_cli kavendrum-cli
