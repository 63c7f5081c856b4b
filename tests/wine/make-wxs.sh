#!/usr/bin/env bash
# Writes the WiX source of every test package from packages/products.txt,
# so that product codes, upgrade codes, folders and files stay in step with
# the table. With --check it writes nothing and fails when a .wxs beside the
# table differs from what the table gives.
#
# Usage: make-wxs.sh [--check] [OUTPUT_DIR]   (default: packages/)
#
# Each package: the given files in the install folder (one component each,
# the file as key path); Settings\user.config in a component of its own;
# the App Paths entry of the named program file; ARPINSTALLLOCATION set to
# the install folder so that InstallLocation is recorded. Component codes
# are derived from the package id and the component id (md5), so they are
# the same at every run. Two component attributes wixl does not write are
# set afterwards by build-packages.sh: SharedDllRefCount on the components
# named Shared*, Permanent on those named Left*.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
table="$here/packages/products.txt"
check=0
if [[ ${1:-} == --check ]]; then check=1; shift; fi
out=${1:-$here/packages}

# guid_for TEXT: a stable GUID from TEXT.
guid_for() {
  local h
  h=$(printf '%s' "$1" | md5sum | tr 'a-f' 'A-F')
  printf '{%s-%s-4%s-8%s-%s}' "${h:0:8}" "${h:8:4}" "${h:13:3}" "${h:17:3}" "${h:20:12}"
}

# xml TEXT: TEXT with the XML special characters escaped.
xml() {
  local s=$1
  s=${s//&/&amp;}; s=${s//</&lt;}; s=${s//>/&gt;}; s=${s//\"/&quot;}
  printf '%s' "$s"
}

# id_of FILE: a WiX identifier from a file name.
id_of() { printf '%s' "${1//[^A-Za-z0-9]/_}"; }

emit() {
  local id=$1 name=$2 version=$3 code=$4 upgrade=$5 maker=$6 root=$7 folder=$8 files=$9 apppath=${10}
  local indent='      ' d i=0 parts file fid comp
  # The folder's parts are separated by backslashes, as Windows writes them.
  # shellcheck disable=SC2141
  IFS=$'\\' read -r -a parts <<<"$folder"
  cat <<XML
<?xml version="1.0" encoding="utf-8"?>
<!-- Made by tests/wine/make-wxs.sh from packages/products.txt: change the table, not this file. -->
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi">
  <Product Id="$code"
           UpgradeCode="$upgrade"
           Name="$(xml "$name")"
           Manufacturer="$(xml "$maker")"
           Version="$version"
           Language="1033">
    <Package InstallerVersion="200" Compressed="yes" InstallScope="perMachine"
             Description="$(xml "$name")"
             Manufacturer="$(xml "$maker")"/>
    <Media Id="1" Cabinet="$id.cab" EmbedCab="yes"/>

    <Directory Id="TARGETDIR" Name="SourceDir">
      <Directory Id="$root">
XML
  for d in "${parts[@]}"; do
    i=$((i + 1))
    if ((i == ${#parts[@]})); then
      printf '%s  <Directory Id="INSTALLDIR" Name="%s">\n' "$indent" "$(xml "$d")"
    else
      printf '%s  <Directory Id="Folder%d" Name="%s">\n' "$indent" "$i" "$(xml "$d")"
    fi
    indent+='  '
  done
  local comps=()
  IFS=',' read -r -a flist <<<"$files"
  for file in "${flist[@]}"; do
    fid=$(id_of "$file")
    case $file in
      *.dll|*.sys) comp="Shared_$fid" ;;
      *) comp="File_$fid" ;;
    esac
    comps+=("$comp")
    printf '%s  <Component Id="%s" Guid="%s">\n' "$indent" "$comp" "$(guid_for "$id/$comp")"
    printf '%s    <File Id="%s" Name="%s" Source="%s" KeyPath="yes"/>\n' "$indent" "$fid" "$file" "$file"
    if [[ $file == "$apppath" ]]; then
      printf '%s    <RegistryValue Root="HKLM" Key="Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\%s"\n' "$indent" "$file"
      printf '%s                   Type="string" Value="[#%s]"/>\n' "$indent" "$fid"
    fi
    printf '%s  </Component>\n' "$indent"
  done
  comps+=("Left_Settings")
  printf '%s  <Directory Id="SettingsFolder" Name="Settings">\n' "$indent"
  printf '%s    <Component Id="Left_Settings" Guid="%s">\n' "$indent" "$(guid_for "$id/Left_Settings")"
  printf '%s      <File Id="user_config" Name="user.config" Source="user.config" KeyPath="yes"/>\n' "$indent"
  printf '%s    </Component>\n' "$indent"
  printf '%s  </Directory>\n' "$indent"
  for ((i = ${#parts[@]}; i > 0; i--)); do
    indent=${indent%  }
    printf '%s  </Directory>\n' "$indent"
  done
  cat <<XML
      </Directory>
    </Directory>

    <Feature Id="Complete" Title="$(xml "$name")" Level="1">
XML
  for comp in "${comps[@]}"; do printf '      <ComponentRef Id="%s"/>\n' "$comp"; done
  cat <<XML
    </Feature>

    <!-- ARPINSTALLLOCATION = [INSTALLDIR] once costing has resolved it; an
         explicit number, as wixl places After="CostFinalize" past
         RegisterProduct. -->
    <CustomAction Id="SetInstallLocation" Property="ARPINSTALLLOCATION" Value="[INSTALLDIR]"/>
    <InstallExecuteSequence>
      <Custom Action="SetInstallLocation" Sequence="1001"/>
    </InstallExecuteSequence>
  </Product>
</Wix>
XML
}

status=0
mkdir -p "$out"
while IFS='|' read -r id name version code upgrade maker root folder files apppath; do
  [[ -z $id || $id == \#* ]] && continue
  text=$(emit "$id" "$name" "$version" "$code" "$upgrade" "$maker" "$root" "$folder" "$files" "$apppath")
  if ((check)); then
    if [[ ! -f $out/$id.wxs ]] || [[ $(cat "$out/$id.wxs") != "$text" ]]; then
      echo "make-wxs: $out/$id.wxs is not what products.txt gives; run tests/wine/make-wxs.sh" >&2
      status=1
    fi
  else
    printf '%s\n' "$text" > "$out/$id.wxs"
  fi
done < "$table"
exit $status
