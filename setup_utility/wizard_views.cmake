# The add-device wizard and the right-hand forms. Their dialogs are compiled into each program
# that links them (resources of a static library would not be linked in).
add_library(quorret_wizard_views STATIC
  ViewChoices.cpp
  ViewFormState.cpp
  ViewForms.cpp
  ViewRightPane.cpp
  ViewWindow.cpp
  WizardCommonPages.cpp
  WizardDrawerPages.cpp
  WizardPage.cpp
  WizardPrinterPages.cpp
  WizardSheet.cpp)
target_sources(quorret_wizard_views INTERFACE ${CMAKE_CURRENT_SOURCE_DIR}/wizard_views.rc)
target_link_libraries(quorret_wizard_views PUBLIC quorret_model comctl32 user32 gdi32)

add_gtest_program(quorret_wizard_views_test
  SOURCES tests/WizardPagesTest.cpp tests/WizardFlowTest.cpp tests/ViewFormsTest.cpp
          tests/WizardWindowTest.cpp tests/WizardTestSupport.cpp
  LIBS quorret_wizard_views quorret_test_support testprinter)
add_dependencies(quorret_wizard_views_test qu_versioned)
set_tests_properties(quorret_wizard_views_test PROPERTIES RESOURCE_LOCK desktop TIMEOUT 120)
