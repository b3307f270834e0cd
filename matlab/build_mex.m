function build_mex(out_dir, source_root)
%BUILD_MEX Builds the eighteen gckmatch functions with this host's own mex command.
%   BUILD_MEX(OUT_DIR) compiles every function from the repository's sources
%   (mex/, bridge/ and the core folders projection/, hashing/, error/ and
%   propagation/) into OUT_DIR, puts each function's help file beside it and
%   adds OUT_DIR to the path. It runs in MATLAB, with a C++17 compiler chosen
%   by "mex -setup C++", and in GNU Octave, whose mex command is mkoctfile.
%
%   BUILD_MEX(OUT_DIR, SOURCE_ROOT) takes the sources from the repository at
%   SOURCE_ROOT instead of the one that holds this file.
%
%   Example:
%     build_mex(fullfile(tempdir, 'gckmatch'));
%     P = projfirst_u8_i16(uint8(magic(6)), uint16(2));
%     help projfirst_u8_i16

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

  % The bridge and each core folder are compiled once; every function links the bridge and the core
  % folder of its family.
  objects_dir = tempname();
  mkdir(objects_dir);
  cleanup = onCleanup(@() remove_folder(objects_dir));
  bridge = compile_folder(fullfile(source_root, 'bridge'), objects_dir, flags, in_octave);
  family_folders = struct('projfirst', 'projection', 'projnext', 'projection', ...
                          'bucketmap', 'hashing', 'bucketfill', 'hashing', 'hash', 'hashing', ...
                          'patcherr', 'error', 'seedspread', 'propagation');
  cores = struct();

  gateways = dir(fullfile(source_root, 'mex', '*.cpp'));
  for i = 1:numel(gateways)
    [~, name] = fileparts(gateways(i).name);
    family = strtok(name, '_');
    folder = family_folders.(family);
    if ~isfield(cores, folder)
      cores.(folder) = compile_folder(fullfile(source_root, folder), objects_dir, flags, in_octave);
    end
    fprintf('build_mex: %s\n', name);
    sources = [{fullfile(source_root, 'mex', gateways(i).name)}, bridge, cores.(folder)];
    if in_octave
      mex(flags{:}, sources{:}, '-o', fullfile(out_dir, [name '.' mexext]));
    else
      mex(flags{:}, sources{:}, '-outdir', out_dir, '-output', name);
    end
    copyfile(fullfile(source_root, 'matlab', 'help', [name '.m']), out_dir);
  end
  addpath(out_dir);
  fprintf('build_mex: %d functions in %s, now on the path\n', numel(gateways), out_dir);
end

function objects = compile_folder(folder, objects_dir, flags, in_octave)
  % Compiles every .cpp file of a folder into objects_dir; returns the object files.
  if ispc && ~in_octave
    extension = '.obj';
  else
    extension = '.o';
  end
  sources = dir(fullfile(folder, '*.cpp'));
  objects = cell(1, numel(sources));
  for i = 1:numel(sources)
    [~, base] = fileparts(sources(i).name);
    objects{i} = fullfile(objects_dir, [base extension]);
    source = fullfile(folder, sources(i).name);
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
