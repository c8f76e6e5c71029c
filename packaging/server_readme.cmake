# Writes the README's section on a laboratory's PostgreSQL server to OUT, for the
# package's documentation, with the setup script's installed path.
# cmake -DREADME=README.md -DOUT=FILE -P server_readme.cmake
file(READ "${README}" text)
set(heading "## One register for a laboratory (PostgreSQL)")
string(FIND "${text}" "${heading}" begin)
if(begin LESS 0)
  message(FATAL_ERROR "${README}: no section \"${heading}\"")
endif()
string(SUBSTRING "${text}" ${begin} -1 section)
string(LENGTH "${heading}" skip)
string(SUBSTRING "${section}" ${skip} -1 rest)
string(FIND "${rest}" "\n## " end)
if(end GREATER_EQUAL 0)
  math(EXPR end "${end} + ${skip} + 1")
  string(SUBSTRING "${section}" 0 ${end} section)
endif()
string(REPLACE "packaging/postgresql/setup.sql" "/usr/share/doc/xmca/postgresql/setup.sql" section "${section}")
file(WRITE "${OUT}" "${section}")
