# tucklet_embed_text(<target> <input file> <namespace> <name>)
#
# Compiles a text file into <target> as `extern const char <namespace>::<name>[]` (NUL-terminated).
# The source is generated at build time, so editing the text file rebuilds the target.
#
# The same file, run as a script (cmake -DINPUT=... -DOUTPUT=... -DNAMESPACE=... -DNAME=... -P),
# writes that source.

if(CMAKE_SCRIPT_MODE_FILE)
  file(READ "${INPUT}" text)
  set(delimiter "tucklet_text")
  if(text MATCHES "\\)${delimiter}\"")
    message(FATAL_ERROR "${INPUT} contains the raw string delimiter \")${delimiter}\"")
  endif()
  file(WRITE "${OUTPUT}.tmp"
       "// Generated from ${INPUT}; edit that file instead.\n"
       "namespace ${NAMESPACE} {\n"
       "extern const char ${NAME}[];\n"
       "const char ${NAME}[] = R\"${delimiter}(${text})${delimiter}\";\n"
       "}  // namespace ${NAMESPACE}\n")
  file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${OUTPUT}.tmp")
  return()
endif()

set(TUCKLET_EMBED_TEXT_SCRIPT ${CMAKE_CURRENT_LIST_FILE})

function(tucklet_embed_text target input namespace name)
  get_filename_component(stem ${input} NAME_WE)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/generated/${target}_${stem}.cpp)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DNAMESPACE=${namespace}
            -DNAME=${name} -P ${TUCKLET_EMBED_TEXT_SCRIPT}
    DEPENDS ${input} ${TUCKLET_EMBED_TEXT_SCRIPT}
    COMMENT "Embedding ${input}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
endfunction()
