# bash completion for quorin-convert
_quorin_convert() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W "convert command probe demo --help --version" -- "$cur"))
        return
    fi
    case $prev in
        --mode) COMPREPLY=($(compgen -W "video audio2 audio gif merge compress" -- "$cur")); return ;;
        --format) COMPREPLY=($(compgen -W "mp4 mkv avi wmv flv mov webm gif mp3 m4a wav wma aac flac ac3 m4r ogg origin" -- "$cur")); return ;;
        --preset) COMPREPLY=($(compgen -W "origin 1080 720 dvd tv phone 256 128 96" -- "$cur")); return ;;
        --level) COMPREPLY=($(compgen -W "low mid high" -- "$cur")); return ;;
        --output-dir) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --clip|--crop|--speed|--volume|--name|--bitrate-override|--fps-override|--jobs) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "--mode --format --preset --level --clip --crop --speed --volume --output-dir --name --bitrate-override --fps-override --jobs --json --help --version" -- "$cur"))
        return
    fi
    COMPREPLY=($(compgen -f -- "$cur"))
}
complete -o filenames -F _quorin_convert quorin-convert
