#!/usr/bin/env bash
# Usage: check-exports.sh NM LIBRARY-NAME LIBRARY-FILE
#
# Fails, naming each offender, when the library's dynamic symbol table defines anything beyond
# its public API, or lacks a symbol that a host needs.
set -euo pipefail

nm_tool=$1
name=$2
file=$3

case $name in
kesdatagraph)
    allowed='^((typeinfo|typeinfo name|vtable) for |(non-)?virtual thunk to )?(datagraph::|HelloWorld(::|$))'
    # Inside the namespace but not part of the API.
    forbidden='OneToManyMap|ScopedFlagSetter|Graph::Fields|\(anonymous namespace\)|qInitResources|qCleanupResources'
    required=(
        'datagraph::CreateGraph(boost::uuids::uuid const&)'
        'datagraph::GraphException::~GraphException()'
        'typeinfo for datagraph::GraphException'
        'typeinfo for datagraph::Graph'
        'HelloWorld::doHello()'
    )
    ;;
kescoreplatform)
    allowed='^(KLog::|KFormatString::|KString::|LogMessage\()'
    forbidden='\(anonymous namespace\)'
    required=(
        'LogMessage(KLog::NonErrorSeverity, KFormatString const&)'
        'KLog::Info'
        'KString::toStdString[abi:cxx11]() const'
    )
    ;;
*)
    echo "check-exports.sh: unknown library name '$name'" >&2
    exit 2
    ;;
esac

# "<address> <type> <demangled name>", less any symbol version.
symbols=$("$nm_tool" -DC --defined-only "$file" | sed -E 's/^[0-9a-fA-F]+ [A-Za-z] //; s/@@?[A-Za-z0-9_.]+$//' | sort -u)

offenders=$(grep -Ev -- "$allowed" <<<"$symbols" || true)
offenders+=$'\n'$(grep -E -- "$forbidden" <<<"$symbols" || true)
offenders=$(sed '/^$/d' <<<"$offenders" | sort -u)

missing=()
for symbol in "${required[@]}"; do
    grep -Fxq -- "$symbol" <<<"$symbols" || missing+=("$symbol")
done

status=0
if [[ -n $offenders ]]; then
    echo "lib$name exports symbols outside its public API:"
    sed 's/^/  /' <<<"$offenders"
    status=1
fi
if ((${#missing[@]} > 0)); then
    echo "lib$name does not export symbols a host needs:"
    printf '  %s\n' "${missing[@]}"
    status=1
fi
if ((status == 0)); then
    echo "lib$name exports $(wc -l <<<"$symbols") symbols, all of its public API"
fi
exit $status
