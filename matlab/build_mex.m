function build_mex(out_dir, source_root)
%BUILD_MEX Builds the gckmatch MEX functions with this host's own mex command.
%   BUILD_MEX(OUT_DIR) compiles the eighteen kernel functions and nnfield from
%   the repository's sources (mex/, bridge/, the core folders projection/,
%   hashing/, error/ and propagation/, and for nnfield the matcher's sources
%   listed in matcher/sources.txt) into OUT_DIR, puts each function's help
%   file beside it (and the bundled image pair beside nnfield, for its help
%   example) and adds OUT_DIR to the path. It runs in MATLAB, with a C++17
%   compiler chosen by "mex -setup C++", and in GNU Octave, whose mex command
%   is mkoctfile.
%
%   BUILD_MEX(OUT_DIR, SOURCE_ROOT) takes the sources from the repository at
%   SOURCE_ROOT instead of the one that holds this file.
%
%   Example:
%     build_mex(fullfile(tempdir, 'gckmatch'));
%     P = projfirst_u8_i16(uint8(magic(6)), uint16(2));
%     help nnfield

  if nargin < 2
    source_root = fileparts(fileparts(mfilename('fullpath')));
  end
  if ~exist(fullfile(source_root, 'mex', 'projfirst_u8_i16.cpp'), 'file')
    error('build_mex:sources', 'no gckmatch sources in %s', source_root);
  end
  if ~exist(out_dir, 'dir')
    mkdir(out_dir);
  end

  in_octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
  flags = {['-I' source_root]};
  if in_octave
    % As the Octave flavour of the CMake build: optimised with asserts off, and on Linux mexFunction
    % the only export.
    flags = [flags, {'-std=c++17', '-O3', '-DNDEBUG'}];
    if isunix && ~ismac
      flags{end + 1} = ['-Wl,--version-script=' fullfile(source_root, 'cmake', 'mex.map')];
    end
  else
    % The 32-bit-size array API and the separate-complex data access the gateways are written for.
    flags = [flags, {'-silent', '-compatibleArrayDims', 'CXXFLAGS=$CXXFLAGS -std=c++17'}];
  end

  % The bridge and each core folder are compiled once; every function links the bridge and the
  % folders of its family.
  objects_dir = tempname();
  mkdir(objects_dir);
  cleanup = onCleanup(@() remove_folder(objects_dir));
  bridge = compile_folder(fullfile(source_root, 'bridge'), objects_dir, flags, in_octave);
  family_folders = struct('projfirst', {{'projection'}}, 'projnext', {{'projection'}}, ...
                          'bucketmap', {{'hashing'}}, 'bucketfill', {{'hashing'}}, ...
                          'hash', {{'hashing'}}, 'patcherr', {{'error'}}, ...
                          'seedspread', {{'propagation'}}, ...
                          'nnfield', {{'matcher', 'projection', 'error'}});
  cores = struct();

  gateways = dir(fullfile(source_root, 'mex', '*.cpp'));
  for i = 1:numel(gateways)
    [~, name] = fileparts(gateways(i).name);
    family = strtok(name, '_');
    sources = [{fullfile(source_root, 'mex', gateways(i).name)}, bridge];
    for folder = family_folders.(family)
      if ~isfield(cores, folder{1})
        cores.(folder{1}) = compile_folder(fullfile(source_root, folder{1}), objects_dir, flags, ...
                                           in_octave);
      end
      sources = [sources, cores.(folder{1})];
    end
    fprintf('build_mex: %s\n', name);
    link = {};
    if strcmp(name, 'nnfield') && isunix && ~ismac
      % The matcher's threads; and MATLAB loads its own, older C++ runtime, so nnfield carries
      % the compiler's.
      link = {'-pthread'};
      if ~in_octave, link = {'LDFLAGS=$LDFLAGS -pthread -static-libstdc++ -static-libgcc'}; end
    end
    if in_octave
      mex(flags{:}, sources{:}, link{:}, '-o', fullfile(out_dir, [name '.' mexext]));
    else
      mex(flags{:}, link{:}, sources{:}, '-outdir', out_dir, '-output', name);
    end
    copyfile(fullfile(source_root, 'matlab', 'help', [name '.m']), out_dir);
    if strcmp(name, 'nnfield')
      for image = {'motorcycle_left.png', 'motorcycle_right.png'}
        copyfile(fullfile(source_root, 'data', image{1}), out_dir);
      end
    end
  end
  addpath(out_dir);
  fprintf('build_mex: %d functions in %s, now on the path\n', numel(gateways), out_dir);
end

function objects = compile_folder(folder, objects_dir, flags, in_octave)
  % Compiles the .cpp files of a folder into objects_dir (those its sources.txt lists, when it has
  % one, else every one); returns the object files.
  if ispc && ~in_octave
    extension = '.obj';
  else
    extension = '.o';
  end
  listed = fullfile(folder, 'sources.txt');
  if exist(listed, 'file')
    names = strtrim(regexp(fileread(listed), '\r?\n', 'split'));
    names = names(~cellfun(@isempty, names) & ~strncmp(names, '#', 1));
  else
    found = dir(fullfile(folder, '*.cpp'));
    names = {found.name};
  end
  objects = cell(1, numel(names));
  for i = 1:numel(names)
    [~, base] = fileparts(names{i});
    objects{i} = fullfile(objects_dir, [base extension]);
    source = fullfile(folder, names{i});
    if in_octave
      mex('-c', flags{:}, source, '-o', objects{i});
    else
      mex('-c', flags{:}, source, '-outdir', objects_dir);
    end
  end
end

function remove_folder(folder)
  if exist('OCTAVE_VERSION', 'builtin')
    confirm_recursive_rmdir(false, 'local');
  end
  rmdir(folder, 's');
end
