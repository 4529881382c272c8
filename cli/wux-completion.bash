# bash completion for wux: commands, then the options of the command given, asked of
# `wux help` itself so that this file never falls behind the tool; file names otherwise.
_wux() {
    local cur=${COMP_WORDS[COMP_CWORD]} wux=${COMP_WORDS[0]} command=${COMP_WORDS[1]}
    if [[ $COMP_CWORD -eq 1 ]]; then
        COMPREPLY=($(compgen -W "$("$wux" help 2>/dev/null | sed -n '/^Subcommands:/,/^$/s/^  \([a-z]*\).*/\1/p') --help --version" -- "$cur"))
    elif [[ $command == help && $COMP_CWORD -eq 2 ]]; then
        COMPREPLY=($(compgen -W "$("$wux" help 2>/dev/null | sed -n '/^Subcommands:/,/^$/s/^  \([a-z]*\).*/\1/p')" -- "$cur"))
    elif [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$("$wux" help "$command" 2>/dev/null | grep -oE '^  -[-a-z,]*' | tr ',' '\n' | tr -d ' ')" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -o bashdefault -F _wux wux
