# zsh -f zsh-complete.zsh COMPLETION-FOLDER WORK-FOLDER LINE
# Types LINE and a Tab into an interactive zsh (on a pseudo-terminal) that
# has the completions of COMPLETION-FOLDER, and prints every candidate the
# completion offered, one per line, sorted.
zmodload zsh/zpty || exit 1
completions=$1 work=$2 line=$3
rm -f $work/zsh-hits $work/zsh-ready $work/zsh-set $work/zsh-done

# Waits (up to 20 s) for a file that the shell on the terminal makes.
await() {
  local tries=0
  while [[ ! -e $1 ]]; do
    (( ++tries > 200 )) && { print -u2 "zsh did not answer ($1)"; exit 1 }
    sleep 0.1
  done
}

zpty shell zsh -f -i
# An interactive zsh drops what was typed before its line editor started:
# knock until it answers.
repeat 200; do
  zpty -w shell "touch $work/zsh-ready"
  sleep 0.1
  [[ -e $work/zsh-ready ]] && break
done
await $work/zsh-ready
zpty -w shell "fpath=($completions \$fpath); autoload -U compinit; compinit -u -d $work/zcompdump"
# Every candidate any completion function adds is also written to a file.
zpty -w shell 'compadd () { local -a __hits; builtin compadd -O __hits "$@"; print -rl -- $__hits >>'$work'/zsh-hits; builtin compadd "$@" }'
zpty -w shell "bindkey '^I' complete-word; cd $work; touch $work/zsh-set"
await $work/zsh-set
zpty -n -w shell "$line"$'\t'
zpty -n -w shell $'\C-e\C-u'"touch $work/zsh-done"$'\n'
await $work/zsh-done
zpty -d shell
[[ -e $work/zsh-hits ]] && grep -v "^$" $work/zsh-hits | LC_ALL=C sort -u
exit 0
