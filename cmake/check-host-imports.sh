#!/usr/bin/env bash
# cmake/check-host-imports.sh PLUGINSDK_LIB OBJECT_DIR...
#
# Every host function the plugin's objects call must be exported by the host's
# pluginsdk.lib with the same parameter types and const-ness. MinGW cannot
# link that MSVC library, but both sides can be spelled out: the objects'
# undefined __imp_ symbols (the SDK declares its classes dllimport) are
# Itanium-mangled C++, the library's export table is MSVC-mangled. Both are
# demangled and brought to one form, Class::function(parameters) const.
set -euo pipefail
lib=$1
shift
tools=/usr/lib/llvm-14/bin

# The demangled names, one a line, in one spelling: no access, calling
# convention, return type, class/struct/enum keywords, ABI tags, spaces.
common_form() {
    sed -E -e 's/^(public|protected|private): //' -e 's/^(static|virtual) //' \
        -e 's/ __cdecl//g; s/ __ptr64//g; s/\(void\)/()/g' \
        -e 's/(^|[^A-Za-z0-9_])(class|struct|enum|union) /\1/g' \
        -e 's/unsigned __int64/unsigned long long/g; s/__int64/long long/g' \
        -e 's/std::__cxx11::/std::/g; s/\[abi:cxx11\]//g; s/\(void\*\)0/0/g' \
        -e 's/operator /operator@/g' |
        awk '{
            # The return type ends at the last space outside <> and () before
            # the parameters begin.
            depth = 0; cut = 0
            for (i = 1; i <= length($0); i++) {
                c = substr($0, i, 1)
                if (c == "<") depth++
                else if (c == ">") depth--
                else if (c == "(" && depth == 0) break
                else if (c == " " && depth == 0) cut = i
            }
            print substr($0, cut + 1)
        }' | sed -E 's/operator@/operator /g; s/ //g'
}

mapfile -t objects < <(find "$@" -name '*.obj' | sort)
imports=$("$tools/llvm-nm" --undefined-only --no-sort "${objects[@]}" |
    sed -nE 's/^ *U __imp_(_Z.*)$/\1/p' | sort -u)
[[ -n $imports ]] || { echo "check-host-imports: no host function imported by ${objects[*]}" >&2; exit 1; }
called=$("$tools/llvm-cxxfilt" <<<"$imports")
exported=$("$tools/llvm-nm" "$lib" 2>/dev/null | sed -nE 's/^[0-9a-f]+ T __imp_(\?.*)$/\1/p' |
    "$tools/llvm-undname" | grep -v -e '^?' -e '^$' -e '^error:' | common_form | sort -u)

missing=()
while IFS= read -r function; do
    if ! grep -qxF -- "$(common_form <<<"$function")" <<<"$exported"; then
        missing+=("$function")
    fi
done <<<"$called"

total=$(wc -l <<<"$called")
found=$((total - ${#missing[@]}))
echo "$found of $total host functions the plugin calls are exported by pluginsdk.lib"
if ((${#missing[@]})); then
    echo "Not exported by $lib with these parameter types and qualifiers:" >&2
    for function in "${missing[@]}"; do
        echo "  $function" >&2
        name=$(common_form <<<"$function" | sed 's/(.*//')
        grep -F -- "$name(" <<<"$exported" | sed 's/^/    the library has: /' >&2 || true
    done
    exit 1
fi
