# The layers: model ← text ← link/output ← history/sim ← station ← ui ← app/cli
# (the windows show the write history and run the station, so ui sees both). Each library
# sees only the headers of its own and the lower layers: its include root is
# a folder in the build tree that links just those folders of src/, so an
# include of a higher layer fails to build.
set(rkt_layers_model model)
set(rkt_layers_text model text)
set(rkt_layers_link model text link)
set(rkt_layers_output model text output)
set(rkt_layers_history model text link history)
set(rkt_layers_sim model text link output sim)
set(rkt_layers_station model text link station)
set(rkt_layers_ui model text link output history station ui)
set(rkt_layers_app model text link output history station sim ui app)
set(rkt_layers_cli model text link output history station sim cli)

function(rkt_layer_includes target layer)
  set(root ${CMAKE_BINARY_DIR}/layers/${layer})
  if(NOT EXISTS ${root})
    file(MAKE_DIRECTORY ${root})
    foreach(dir ${rkt_layers_${layer}})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${dir} ${root}/${dir} RESULT linked SYMBOLIC)
      if(NOT linked EQUAL 0)
        # No symbolic links here (Windows without the right): no enforcement.
        file(REMOVE_RECURSE ${root})
        set(root ${PROJECT_SOURCE_DIR}/src)
        break()
      endif()
    endforeach()
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
