// The actions of the handler, one function each, and the helpers they share.
// Only dahand calls the actions; the batch tool also calls use_pairs.
#pragma once

#include <string>
#include <string_view>

#include "actions/session.hpp"
#include "input/tps_check.hpp"
#include "protocol/landmark_list.hpp"
#include "runtime/array/file_io.hpp"
#include "runtime/array/value.hpp"

namespace dg::actions {

// Sets a property on every object carrying the tag; none found changes nothing.
void set_tagged(Session& session, std::string_view tag, std::string_view property,
                const Value& value);
void enable(Session& session, std::string_view tag, bool on);
// Recomputes the enabling of every tagged control and menu from the handler's
// state, so a button is on exactly when its action can do its work, and the
// window's title from the sample's name; dahand runs it after every action
// that ends without an error.
void refresh_window(Session& session);

// Whether a kept list (labels in its first column) has rows of `count`
// landmarks that a sample of `landmarks` landmarks has.
bool fits(const Matrix& list, std::size_t count, std::size_t landmarks);

// The window's own figure: the one holding the data box.
std::optional<Handle> main_figure(const Session& session);
// The figure carrying `tag` (a panel's), when it is open.
std::optional<Handle> tagged_figure(const Session& session, std::string_view tag);
// Opens a panel from its layout file (`layout`, found as every layout file
// is), docked at the right of the main window; drawing goes on in the main
// window's axes.
Handle open_panel(Session& session, std::string_view layout);

// Opens a window of its own from its layout file, over the main window and
// within the screen; drawing goes on in the main window's axes.
Handle open_window(Session& session, std::string_view layout);

// The guards of actions with nothing to work on: each says so in the status
// line and answers true when the action must stop.
bool no_sample(Session& session);
bool no_distances(Session& session);

// The sample's name in suggested file names: the first file's name without
// its folder and extension, "sample" when none is loaded.
std::string sample_name(const HandlerState& handler);
// The folder of the sample's first file, where save dialogs start; empty
// when none is loaded.
std::string sample_folder(const HandlerState& handler);
// "1 specimen", "417 specimens".
std::string count_of(std::size_t n, std::string_view noun);

// The files the window has read and no save may replace: the sample's
// files, the lists' files and the layout files of the open figures.
std::vector<ReadFile> read_files(const Session& session);
// A save dialog (Platform::put_file) whose answer is refused with an error
// naming both files when it is one of read_files, except `allowed` (the file
// a list being saved was loaded from, which its save may update).
std::optional<FileChoice> ask_save(Session& session, std::string_view filter,
                                   std::string_view title, std::string_view suggested,
                                   std::string_view folder, std::string_view allowed = {});

// Puts a file that the load action `word` read at the top of the recent
// files ("word:path"), once, keeping the newest kRecentFiles.
constexpr std::size_t kRecentFiles = 8;
void remember_file(Session& session, std::string_view word, const std::string& path);
// The word of a recent sample with the reading options it was loaded with,
// so that it opens again as it was: "GetTPSData;dimensions=3;curves;missing;
// code=-1" (only the options that differ from a plain read; a matrix keeps
// its dimension only).
std::string recent_word(std::string_view word, const TpsOptions& options, bool tps);

enum class Source { Matrix, Tps, TpsScale };
// "GetData", "GetTPSData", "GetTPSScale": asks for the files, then loads them
// read with `options`.
void load(Session& session, Source source, const TpsOptions& options);
inline void load(Session& session, Source source) {
  load(session, source, session.tps_options);
}
// Loads files as one sample, as if they had been picked in the load's dialog.
// The files are read and superimposed off the event loop (Platform::
// wait_live): the window stays live meanwhile, and a load cancelled by Esc,
// a second load, Clear or Exit changes nothing.
void load_files(Session& session, Source source, const std::vector<std::string>& paths,
                const TpsOptions& options);
// Cancels the load that runs off the event loop, if one does; it then ends
// without a word.
void cancel_load(Session& session);
// The data box's lines for the sample, and the length box's for lists kept
// from an earlier one (whether each fits this sample).
void show_sample_box(Session& session);
// The steps a TPS load takes after reading (centroid size, the refusal of a
// sample without a complete specimen), for the file check to repeat.
LoadSteps load_steps();

void get_lengths(Session& session);  // "GetLengths"
void get_angles(Session& session);   // "GetAngles"
// Loads a pair or triple list from a file, as if it had been picked in the
// load's dialog.
void load_pairs(Session& session, const std::string& path);
void load_triples(Session& session, const std::string& path);
void calc_lengths(Session& session);  // "CalcLengths"

// Takes a pair list made by the program (such as all_pairs) as if it had been
// loaded from a file called `name`: stored, reported in the length box, drawn
// when the session draws.
void use_pairs(Session& session, Matrix pairs, const std::string& name);

enum class Export { Angles, Degrees, Lengths, LogLengths, Constrained };
void save(Session& session, Export what);
// "ExportTables": every dataset computed so far as CSV tables, named after the
// sample, into a folder the user picks.
void export_tables(Session& session);

// Stores a pair or triple list under a name, reported in the length box.
void store_list(Session& session, ProtocolDesign::List list, Matrix value, const std::string& name);

// The column-wise mean of the sample's coordinates: the mean configuration, 1 x dk.
Matrix mean_configuration(const Sample& sample);
void draw_pairs(Session& session);    // the pairs over the current picture
void draw_triples(Session& session);  // the triples over the current picture
// The mean shape with the pairs, numbered as on the sample ("PlotProtocol"),
// or with the triples ("ShowAngles"); each says so when its list is missing.
void plot_protocol(Session& session);
void show_angles(Session& session);
// Gives a picture drawn anew the styling commands called since the plot was
// last cleared (Session::styling).
void restyle(Session& session);
// "LandmarkNumbers": turns the numbering of the mean shape's landmarks on or
// off; the setting outlives "Clear" and loads.
void toggle_numbers(Session& session);
// Numbers the landmarks of the sample's mean shape over the current picture,
// replacing earlier numbers, when the setting is on.
void number_landmarks(Session& session);

// The protocol designer: a panel docked beside the plot listing both lists,
// picks by clicking landmarks on the mean shape, generators, row edits, undo
// and redo, saving. Its lists are the session's: every edit stores them as a
// load would.
void toggle_designer(Session& session);                         // "ProtocolDesigner"
void design_pick(Session& session, ProtocolDesign::List list);  // "DesignPair", "DesignAngle"
void design_click(Session& session);   // "DesignClick": the landmark nearest the axes' CurrentPoint
void design_hover(Session& session);   // "DesignHover": highlights the landmark under the pointer
void design_cancel(Session& session);  // "DesignCancel"
void design_all_pairs(Session& session);                          // "DesignAllPairs"
void design_chain(Session& session);                              // "DesignChain"
void design_select(Session& session, ProtocolDesign::List list);  // a row picked in a list
void design_delete(Session& session);                             // "DesignDelete"
void design_clear(Session& session);           // "DesignClear": empties the list last selected
void design_move(Session& session, int step);  // "DesignUp", "DesignDown"
void design_undo(Session& session);            // "DesignUndo"
void design_redo(Session& session);            // "DesignRedo"
void design_save(Session& session, ProtocolDesign::List list);  // "DesignSavePairs", "...Triples"
// Gives the designer a list read from a file (already checked against the
// sample), so that its edits and undo start from it.
void design_loaded(Session& session, ProtocolDesign::List list, const Matrix& loaded,
                   std::string_view name);
bool designer_open(const Session& session);
// The mean shape with both lists, every landmark numbered, and the landmarks
// of a half-made pick marked: what the designer shows while it is open.
void draw_designer(Session& session);
void draw_design(Session& session, const Matrix& mpt, std::span<const std::size_t> picked);
// Brings the designer's panel and its menu entries up to date.
void refresh_designer(Session& session);

// Reading options and the file check, from the window's File menu.
void check_files(Session& session);       // "CheckFile": the report of each file picked
void toggle_curves(Session& session);     // "CurvesAsLandmarks"
void toggle_missing(Session& session);    // "MissingLandmarks"
void ask_missing_code(Session& session);  // "MissingCode"
void toggle_converge(Session& session);   // "ConvergedSuperimposition"

// The Sample menu (sample_actions.cpp).
bool outlier_panel_open(const Session& session);
void toggle_outlier_panel(Session& session);       // "OutlierPanel"
void outlier_select(Session& session);             // "OutlierSelect": draws the row selected
void outlier_leave_out(Session& session);          // "OutlierLeaveOut"
void outlier_undo(Session& session);               // "OutlierUndo"
void outlier_export(Session& session);             // "OutlierExport"
void compute_measurement_error(Session& session);  // "MeasurementError": asks the rule, reports
void save_measurement_error(Session& session);     // "SaveMeasurementError"
void show_replicates(Session& session);            // "ShowReplicates": those furthest apart
// The specimens the Sample menu drew, drawn again (a turned 3-D view).
void draw_specimens_again(Session& session);
// The outlier screen of the sample as it is now, kept in session.analyses.
void screen_sample(Session& session);
// A specimen (a sample row) drawn red over the consensus, or over the
// sample of a matrix, as the outlier panel draws its selection.
void draw_selected_specimen(Session& session, std::size_t row);

// The variables of the Analyses menu (size_actions.cpp): the groups, the
// summary, the size corrections and the principal components' panel.
void ask_groups(Session& session);             // "Groups": asks the rule, keeps the groups
void show_summary(Session& session);           // "Summary": a report, then offers to save it
void save_allometric(Session& session);        // "SaveAllometric": the dataset and its slopes
void save_log_shape_ratios(Session& session);  // "SaveLogShapeRatios"
void save_burnaby(Session& session);           // "SaveBurnaby": the dataset, and its note shown
bool pca_panel_open(const Session& session);
void toggle_pca_panel(Session& session);  // "PcaPanel"
void pca_update(Session& session);        // "PcaUpdate": a popup of the panel changed
void pca_click(Session& session);         // "PcaClick": selects the nearest specimen
void pca_hover(Session& session);         // "PcaHover": names the specimen under the pointer
// The sample changed (loaded, cleared, a specimen left out): groups still
// kept (a leave-out keeps them) are made again by their rule, or dropped
// with a warning when it no longer fits; an open panel fits the new sample
// (closed without one).
void size_sample_changed(Session& session);
// A list changed: an open panel fits its dataset again.
void size_lists_changed(Session& session);

// The specimen photos (browser_actions.cpp): a window listing the specimens
// beside the photo of the one selected with its landmarks as the file holds
// them; the corrections made there are saved into a corrected TPS file.
bool browser_open(const Session& session);
void toggle_browser(Session& session);    // "SpecimenBrowser"
void browser_select(Session& session);    // "BrowserSelect": the row selected
void browser_key(Session& session);       // "BrowserKey": Page Up/Down, Delete, undo, redo
void browser_click(Session& session);     // "BrowserClick": selects the landmark clicked
void browser_drag(Session& session);      // "BrowserDrag": a landmark dropped at CurrentPoint
void browser_undo(Session& session);      // "BrowserUndo"
void browser_redo(Session& session);      // "BrowserRedo"
void browser_sort(Session& session);      // "BrowserSort": by outlier distance or not
void browser_protocol(Session& session);  // "BrowserProtocol": pairs and triples drawn or not
void browser_folder(Session& session);    // "BrowserFolder": asks where the photos are
void browser_save(Session& session);      // "BrowserSave": "Save corrected TPS..."
// The sample changed (loaded, cleared, a specimen left out): an open
// browser shows the new one, its corrections dropped.
void browser_sample_changed(Session& session);
// An open browser shows the sample row selected elsewhere.
void browser_show(Session& session, std::size_t row);
// The digitiser (digitise_actions.cpp): a TPS file made from photos by
// clicking their landmarks, saved after every landmark.
bool digitiser_open(const Session& session);
void new_tps_from_images(Session& session);  // "NewTPSFromImages": photos picked
void new_tps_from_folder(Session& session);  // "NewTPSFromFolder": every photo of a folder
void resume_digitising(Session& session);    // "ResumeDigitising": a session's TPS file
void digitise_click(Session& session);       // "DigitiseClick": the next landmark, or a ruler end
void digitise_drag(Session& session);        // "DigitiseDrag": a placed landmark moved
void digitise_motion(Session& session);      // "DigitiseMotion": the next number at the pointer
void digitise_key(Session& session);         // "DigitiseKey": Page Up/Down, M, Ctrl+Z, Esc
void digitise_next(Session& session);        // "DigitiseNext"
void digitise_previous(Session& session);    // "DigitisePrevious"
void digitise_missing(Session& session);     // "DigitiseMissing": the next landmark missing
void digitise_undo(Session& session);        // "DigitiseUndo": the last landmark taken back
void digitise_ruler(Session& session);       // "DigitiseRuler": the next two clicks
void digitise_carry(Session& session);       // "DigitiseCarry": the scale kept for the next photos
void digitise_close(Session& session);       // "DigitiseClose"

// As keeps_unsaved_distances, for corrections never saved.
bool keeps_unsaved_corrections(Session& session, std::string_view title, std::string_view before);

// Before an action that drops the calculated distances while they were
// never saved: asks whether to save them first ("Save distances..."),
// discard them, or cancel. True when the action must stop: cancelled, or the
// save was cancelled. `before` ends the question, "Save them before <before>?".
// Forgets the calculated distances: they belonged to another sample or pair list.
void drop_distances(HandlerState& handler);
bool keeps_unsaved_distances(Session& session, std::string_view title, std::string_view before);

void clear(Session& session);  // "Clear"; asks first for unsaved distances
// "Exit": asks first when the distances calculated were never saved.
void exit(Session& session);

// The window's own entries.
// "OpenDropped": the figure's DroppedFile, or a file asked for, loaded as what it holds.
void open_dropped(Session& session);
// Loads a file as what it holds: a TPS sample, a pair or triple list, a matrix.
void open_file(Session& session, const std::string& path);
void recent_files(Session& session);  // "RecentFiles": brings the menu of the callback up to date
// Gives a recent-files menu one item per recent file (or "No recent files").
void fill_recent_menu(Session& session, Handle menu);
void open_recent(Session& session);      // "OpenRecent": the entry in the item's UserData
void save_plot(Session& session);        // "SavePlot": PNG, SVG or PDF
void getting_started(Session& session);  // "GettingStarted"
void about(Session& session);            // "About"

// The picture of the sample (view_actions.cpp). A 3-D sample is shown as an
// orthographic view in the plane of its mean shape's two largest principal
// axes, turned by dragging on the plot (the axes' View).
//
// Configurations (rows of the sample's coordinates, or its mean) as the plot
// shows them: 2-D data as they are, 3-D data projected onto the view, n x 2k.
Matrix shown_sample(Session& session, const Matrix& coordinates);
// The mean configuration as the plot shows it.
Matrix shown_mean(Session& session);
// After a load or "Clear": the view frame of a 3-D sample, and whether a drag
// on the plot turns the view or pans it.
void set_up_view(Session& session);
// The whole sample with the lists that fit it and the landmark numbers (or
// the designer's picture while it is open).
void draw_sample(Session& session);
void turn_view(Session& session);  // "TurnView": draws the plot again as turned
// "GetTPS3D": a TPS file read as 3-D (LM=k followed by k lines of x y z).
void load_3d(Session& session);

}  // namespace dg::actions
